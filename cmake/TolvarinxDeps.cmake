# Lookup helpers shared by FindZopfli.cmake and FindLibdeflate.cmake.
#
# TOLVARINX_DEPS_PREFIX (a cache path, set by the MinGW presets) names a prefix
# with include/ and lib/ built by scripts/build-windows-deps.sh. A library
# found there wins; otherwise the normal search runs, which for native builds
# finds Debian's -dev packages. Windows builds link the static archives.
include_guard(GLOBAL)

set(TOLVARINX_DEPS_PREFIX "" CACHE PATH
  "Prefix of the zopfli and libdeflate builds for this target (scripts/build-windows-deps.sh)")

if(WIN32)
  set(TOLVARINX_DEPS_HINT
    "run scripts/build-windows-deps.sh (it builds the Windows libraries into build/deps) "
    "and configure with the mingw presets, which set TOLVARINX_DEPS_PREFIX")
else()
  set(TOLVARINX_DEPS_HINT "install libzopfli-dev and libdeflate-dev (scripts/setup.sh)")
endif()
string(CONCAT TOLVARINX_DEPS_HINT ${TOLVARINX_DEPS_HINT})

# A MinGW configure whose prefix has not been built yet builds it first (the
# script downloads the source packages once, then works offline).
if(WIN32 AND TOLVARINX_DEPS_PREFIX AND NOT EXISTS ${TOLVARINX_DEPS_PREFIX}/.built-from
   AND CMAKE_HOST_UNIX AND EXISTS ${PROJECT_SOURCE_DIR}/scripts/build-windows-deps.sh)
  message(STATUS "Building zopfli and libdeflate for Windows (scripts/build-windows-deps.sh)")
  execute_process(COMMAND bash ${PROJECT_SOURCE_DIR}/scripts/build-windows-deps.sh
    RESULT_VARIABLE tolvarinx_deps_result)
  if(NOT tolvarinx_deps_result EQUAL 0)
    message(WARNING "scripts/build-windows-deps.sh failed (${tolvarinx_deps_result})")
  endif()
endif()

# tolvarinx_find_dependency_path(<var> <header> [PATH_SUFFIXES ...])
macro(tolvarinx_find_dependency_path var header)
  if(TOLVARINX_DEPS_PREFIX)
    find_path(${var} ${header} PATHS ${TOLVARINX_DEPS_PREFIX}/include ${ARGN}
      NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
  endif()
  find_path(${var} ${header} ${ARGN})
endmacro()

# tolvarinx_find_dependency_library(<var> <name>): the static archive on Windows.
macro(tolvarinx_find_dependency_library var name)
  if(WIN32)
    set(tolvarinx_library_names lib${name}.a ${name})
  else()
    set(tolvarinx_library_names ${name})
  endif()
  if(TOLVARINX_DEPS_PREFIX)
    find_library(${var} NAMES ${tolvarinx_library_names} PATHS ${TOLVARINX_DEPS_PREFIX}/lib
      NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
  endif()
  find_library(${var} NAMES ${tolvarinx_library_names})
endmacro()
