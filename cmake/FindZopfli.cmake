# FindZopfli: the zopfli compression library.
#
# Native builds use Debian's libzopfli-dev; the MinGW builds use the static
# library that scripts/build-windows-deps.sh builds from Debian's source
# package into TOLVARINX_DEPS_PREFIX. That prefix is searched first and alone;
# only when it holds nothing does the usual search (inside the toolchain's
# root when cross compiling) run.
#
# Result: Zopfli_FOUND and the imported target Zopfli::Zopfli, whose include
# directories allow both #include <zopfli.h> and #include <zopfli/zopfli.h>.

include(${CMAKE_CURRENT_LIST_DIR}/TolvarinxDeps.cmake)

tolvarinx_find_dependency_path(Zopfli_INCLUDE_DIR zopfli.h PATH_SUFFIXES zopfli)
tolvarinx_find_dependency_library(Zopfli_LIBRARY zopfli)

include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(Zopfli
  REQUIRED_VARS Zopfli_LIBRARY Zopfli_INCLUDE_DIR
  REASON_FAILURE_MESSAGE "${TOLVARINX_DEPS_HINT}")

if(Zopfli_FOUND AND NOT TARGET Zopfli::Zopfli)
  get_filename_component(zopfli_parent_dir ${Zopfli_INCLUDE_DIR} DIRECTORY)
  add_library(Zopfli::Zopfli UNKNOWN IMPORTED)
  set_target_properties(Zopfli::Zopfli PROPERTIES
    IMPORTED_LOCATION ${Zopfli_LIBRARY}
    INTERFACE_INCLUDE_DIRECTORIES "${Zopfli_INCLUDE_DIR};${zopfli_parent_dir}")
  if(NOT WIN32)
    find_library(Zopfli_MATH_LIBRARY m)
    if(Zopfli_MATH_LIBRARY)
      set_property(TARGET Zopfli::Zopfli PROPERTY INTERFACE_LINK_LIBRARIES ${Zopfli_MATH_LIBRARY})
    endif()
  endif()
endif()
mark_as_advanced(Zopfli_INCLUDE_DIR Zopfli_LIBRARY Zopfli_MATH_LIBRARY)
