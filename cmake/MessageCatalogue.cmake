# The programs' texts: the message catalogues po/*.po (gettext's format),
# checked (with gettext's msgfmt and msgcmp) and turned into C++ and resource
# script tables by po/make_catalogue.cpp, a program of the build machine (also
# in cross builds). Included by the top-level list before any layer.
#
# Sets TOLVARINX_MESSAGES_DIR (the generated files: message_ids.h,
# message_table.cpp, messages_<language>.rch) and the target
# tolvarinx_messages that makes them; a change to a catalogue or a failed
# check fails the build.

find_program(TOLVARINX_MSGFMT msgfmt REQUIRED)
find_program(TOLVARINX_MSGCMP msgcmp REQUIRED)
if(CMAKE_CROSSCOMPILING)
  find_program(TOLVARINX_HOST_CXX NAMES c++ g++ REQUIRED)
else()
  set(TOLVARINX_HOST_CXX ${CMAKE_CXX_COMPILER})
endif()

set(TOLVARINX_MESSAGES_DIR ${CMAKE_BINARY_DIR}/messages)
file(MAKE_DIRECTORY ${TOLVARINX_MESSAGES_DIR})
set(catalogue_tool ${TOLVARINX_MESSAGES_DIR}/make_catalogue${CMAKE_HOST_EXECUTABLE_SUFFIX})
set(catalogue_tool_source ${PROJECT_SOURCE_DIR}/po/make_catalogue.cpp)
add_custom_command(OUTPUT ${catalogue_tool}
  COMMAND ${TOLVARINX_HOST_CXX} -std=c++17 -O1 -o ${catalogue_tool} ${catalogue_tool_source}
  DEPENDS ${catalogue_tool_source}
  COMMENT "Building the message catalogue tool"
  VERBATIM)

# ja.po names every text; each other catalogue translates the same entries.
set(reference_catalogue ${PROJECT_SOURCE_DIR}/po/ja.po)
file(GLOB other_catalogues CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/po/*.po)
list(REMOVE_ITEM other_catalogues ${reference_catalogue})
list(SORT other_catalogues)
set(catalogue_outputs
  ${TOLVARINX_MESSAGES_DIR}/message_ids.h ${TOLVARINX_MESSAGES_DIR}/message_table.cpp
  ${TOLVARINX_MESSAGES_DIR}/messages_en.rch)
foreach(catalogue ${reference_catalogue} ${other_catalogues})
  get_filename_component(language ${catalogue} NAME_WE)
  list(APPEND catalogue_outputs ${TOLVARINX_MESSAGES_DIR}/messages_${language}.rch)
endforeach()
add_custom_command(OUTPUT ${catalogue_outputs}
  COMMAND ${catalogue_tool} ${TOLVARINX_MSGFMT} ${TOLVARINX_MSGCMP} ${TOLVARINX_MESSAGES_DIR}
    ${reference_catalogue} ${other_catalogues}
  DEPENDS ${catalogue_tool} ${reference_catalogue} ${other_catalogues}
  COMMENT "Checking the message catalogues and making the tables of texts"
  VERBATIM)
add_custom_target(tolvarinx_messages DEPENDS ${catalogue_outputs})
