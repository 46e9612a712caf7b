# FindLibdeflate: the libdeflate compression library.
#
# Native builds use Debian's libdeflate-dev; the MinGW builds use the static
# library that scripts/build-windows-deps.sh builds from Debian's source
# package into TOLVARINX_DEPS_PREFIX (searched first and alone, as in
# FindZopfli.cmake).
#
# Result: Libdeflate_FOUND and the imported target Libdeflate::Libdeflate.

include(${CMAKE_CURRENT_LIST_DIR}/TolvarinxDeps.cmake)

tolvarinx_find_dependency_path(Libdeflate_INCLUDE_DIR libdeflate.h)
tolvarinx_find_dependency_library(Libdeflate_LIBRARY deflate)

include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(Libdeflate
  REQUIRED_VARS Libdeflate_LIBRARY Libdeflate_INCLUDE_DIR
  REASON_FAILURE_MESSAGE "${TOLVARINX_DEPS_HINT}")

if(Libdeflate_FOUND AND NOT TARGET Libdeflate::Libdeflate)
  add_library(Libdeflate::Libdeflate UNKNOWN IMPORTED)
  set_target_properties(Libdeflate::Libdeflate PROPERTIES
    IMPORTED_LOCATION ${Libdeflate_LIBRARY}
    INTERFACE_INCLUDE_DIRECTORIES ${Libdeflate_INCLUDE_DIR})
endif()
mark_as_advanced(Libdeflate_INCLUDE_DIR Libdeflate_LIBRARY)
