# Platform selection and the compiler settings every target shares.
#
# Platform variants of one concept live in sibling files named *_posix.cpp and
# *_win32.cpp; tolvarinx_sources() keeps the ones for the platform being built.

if(WIN32)
  set(TOLVARINX_PLATFORM win32)
  set(TOLVARINX_OTHER_PLATFORM posix)
else()
  set(TOLVARINX_PLATFORM posix)
  set(TOLVARINX_OTHER_PLATFORM win32)
endif()

add_library(tolvarinx_options INTERFACE)
target_compile_options(tolvarinx_options INTERFACE
  $<$<COMPILE_LANGUAGE:CXX>:-Wall -Wextra -Wno-unused-parameter>)
target_include_directories(tolvarinx_options INTERFACE ${PROJECT_SOURCE_DIR})

if(WIN32)
  # The programs carry their texts in the system code page (Shift-JIS).
  target_compile_options(tolvarinx_options INTERFACE
    $<$<COMPILE_LANGUAGE:CXX>:-finput-charset=UTF-8 -fexec-charset=CP932>)
  target_compile_definitions(tolvarinx_options INTERFACE
    WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0600 WINVER=0x0600)
  target_link_options(tolvarinx_options INTERFACE -static -static-libgcc -static-libstdc++)
endif()

if(TOLVARINX_SANITIZE)
  target_compile_options(tolvarinx_options INTERFACE
    -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  target_link_options(tolvarinx_options INTERFACE -fsanitize=address,undefined)
endif()

if(TOLVARINX_TSAN)
  if(TOLVARINX_SANITIZE)
    message(FATAL_ERROR "ThreadSanitizer and AddressSanitizer do not combine: pick TOLVARINX_TSAN or TOLVARINX_SANITIZE")
  endif()
  target_compile_options(tolvarinx_options INTERFACE -fsanitize=thread -fno-omit-frame-pointer)
  target_link_options(tolvarinx_options INTERFACE -fsanitize=thread)
endif()

# tolvarinx_sources(<out-var> <dir>): the .cpp files of <dir> for this platform.
function(tolvarinx_sources out dir)
  file(GLOB all CONFIGURE_DEPENDS ${dir}/*.cpp)
  list(FILTER all EXCLUDE REGEX "_${TOLVARINX_OTHER_PLATFORM}\\.cpp$")
  set(${out} ${all} PARENT_SCOPE)
endfunction()
