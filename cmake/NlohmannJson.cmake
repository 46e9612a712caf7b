# nlohmann-json (Debian's nlohmann-json3-dev, header only) as the target
# nlohmann_json::nlohmann_json. The cross builds cannot add /usr/include
# itself, which holds the build machine's other headers: they get a folder of
# their own in the build tree that holds only a link to its nlohmann folder.
if(NOT CMAKE_CROSSCOMPILING)
  find_package(nlohmann_json 3 REQUIRED)
  return()
endif()
find_path(TOLVARINX_NLOHMANN_JSON_DIR nlohmann/json.hpp PATHS /usr/include NO_DEFAULT_PATH
          NO_CMAKE_FIND_ROOT_PATH)
if(NOT TOLVARINX_NLOHMANN_JSON_DIR)
  message(FATAL_ERROR "nlohmann/json.hpp not found: install nlohmann-json3-dev (scripts/setup.sh)")
endif()
set(nlohmann_include ${CMAKE_BINARY_DIR}/nlohmann-json-include)
file(MAKE_DIRECTORY ${nlohmann_include})
file(CREATE_LINK ${TOLVARINX_NLOHMANN_JSON_DIR}/nlohmann ${nlohmann_include}/nlohmann SYMBOLIC)
add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
set_target_properties(nlohmann_json::nlohmann_json PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${nlohmann_include})
