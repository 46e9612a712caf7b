# Installation and packages.
#
# `cmake --install` puts tolvarinxc in bin/, its manual page in
# share/man/man1/ and its README, copyright and changelog in
# share/doc/tolvarinxc/ under the prefix. CPack makes Debian packages on
# Linux (DEB), one per install component: `console` is the package
# tolvarinxc, `lib` (the library's versioned shared object) is
# libtolvarinx0, `dev` (its header, link name, static archive and pkg-config
# file) is libtolvarinx-dev, when the build installs the library. From a MinGW build it
# makes a zip of Tolvarinx.exe and tolvarinxc.exe with the README, LICENSE and
# THIRD-PARTY-NOTICES per architecture.
#
# Included last by the top CMakeLists.txt, so every install rule, and with it
# every component, is known here.
include(GNUInstallDirs)
include(${CMAKE_CURRENT_LIST_DIR}/ThirdPartyNotices.cmake)

set(TOLVARINX_MAINTAINER "Tolvarinx developers <tolvarinx@users.noreply.github.com>")

if(WIN32)
  set(TOLVARINX_BIN_DESTINATION .)
  set(TOLVARINX_DOC_DESTINATION .)
else()
  set(TOLVARINX_BIN_DESTINATION ${CMAKE_INSTALL_BINDIR})
  set(TOLVARINX_DOC_DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/tolvarinxc)
endif()

# The notices of the libraries the programs link, from where this build took
# them; the Debian copyright file is written beside them.
set(TOLVARINX_NOTICES ${CMAKE_BINARY_DIR}/THIRD-PARTY-NOTICES)
set(TOLVARINX_DEBIAN_COPYRIGHT ${CMAKE_BINARY_DIR}/debian/copyright)
list(GET ZLIB_LIBRARIES -1 zlib_library)   # the file, after any "optimized" keyword
tolvarinx_write_third_party_notices(${TOLVARINX_NOTICES} ${TOLVARINX_DEBIAN_COPYRIGHT}
  zlib ${zlib_library} zlib
  zopfli ${Zopfli_LIBRARY} zopfli
  libdeflate ${Libdeflate_LIBRARY} libdeflate)

if(TARGET tolvarinxc)
  install(TARGETS tolvarinxc RUNTIME DESTINATION ${TOLVARINX_BIN_DESTINATION} COMPONENT console)
  install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${TOLVARINX_DOC_DESTINATION} COMPONENT console)
  if(WIN32)
    install(FILES ${PROJECT_SOURCE_DIR}/LICENSE ${TOLVARINX_NOTICES}
      DESTINATION ${TOLVARINX_DOC_DESTINATION} COMPONENT console)
  endif()
endif()
if(TARGET Tolvarinx)
  install(TARGETS Tolvarinx RUNTIME DESTINATION ${TOLVARINX_BIN_DESTINATION} COMPONENT desktop)
endif()

set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Tolvarinx")
set(CPACK_PACKAGE_CONTACT "${TOLVARINX_MAINTAINER}")
set(TOLVARINX_SUMMARY "Lossless PNG optimizer: BMP, PNG and GIF in, the smallest exact PNG out")
set(CPACK_RESOURCE_FILE_README ${PROJECT_SOURCE_DIR}/README.md)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_NAME Tolvarinx)
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${TOLVARINX_SUMMARY}")
  if(CMAKE_SYSTEM_PROCESSOR MATCHES "64")
    set(CPACK_SYSTEM_NAME win64)
  else()
    set(CPACK_SYSTEM_NAME win32)
  endif()
  include(CPack)
  return()
endif()

# The manual page and the changelog, compressed as Debian wants them (gzip -9n:
# no name or time stamp inside, so the same bytes on every build).
set(TOLVARINX_DEBIAN_CHANGELOG ${PROJECT_SOURCE_DIR}/cmake/debian/changelog)
file(STRINGS ${TOLVARINX_DEBIAN_CHANGELOG} changelog_top LIMIT_COUNT 1)
if(NOT changelog_top MATCHES "^tolvarinx \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "cmake/debian/changelog: the top entry is not version ${PROJECT_VERSION}: "
    "add an entry for it")
endif()
function(tolvarinx_gzip source target)
  execute_process(COMMAND gzip -9n -c ${source} OUTPUT_FILE ${target} RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "gzip ${source} failed")
  endif()
endfunction()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
  ${TOLVARINX_DEBIAN_CHANGELOG} ${PROJECT_SOURCE_DIR}/docs/tolvarinxc.1 ${PROJECT_SOURCE_DIR}/LICENSE)
tolvarinx_gzip(${TOLVARINX_DEBIAN_CHANGELOG} ${CMAKE_BINARY_DIR}/debian/changelog.gz)
tolvarinx_gzip(${PROJECT_SOURCE_DIR}/docs/tolvarinxc.1 ${CMAKE_BINARY_DIR}/tolvarinxc.1.gz)
if(TARGET tolvarinxc)
  install(FILES ${CMAKE_BINARY_DIR}/tolvarinxc.1.gz
    DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT console)
endif()

# One Debian package per component that has files. Each component's
# description starts with its own summary line, so no package-wide summary is
# set (CPack would put it above every one).
get_cmake_property(installed_components COMPONENTS)
set(CPACK_COMPONENTS_ALL "")
set(CPACK_DEBIAN_CONSOLE_PACKAGE_NAME tolvarinxc)
set(CPACK_DEBIAN_CONSOLE_PACKAGE_SECTION graphics)
set(CPACK_COMPONENT_CONSOLE_DESCRIPTION "${TOLVARINX_SUMMARY}
tolvarinxc turns BMP, PNG and GIF images into the smallest PNG it can make
without changing a pixel. For every image it picks the colour layout
(palette of 1, 2, 4 or 8 bits, RGB, RGBA), tries every PNG row filter and a
range of deflate parameters, compresses each candidate and keeps the
smallest. It converts one file or whole folder trees on several cores, and
replaces a PNG only by a strictly smaller file, written safely.")
set(CPACK_DEBIAN_LIB_PACKAGE_NAME libtolvarinx0)
set(CPACK_DEBIAN_LIB_PACKAGE_SECTION libs)
set(CPACK_COMPONENT_LIB_DESCRIPTION "Lossless PNG optimizer library
libtolvarinx makes the smallest exact PNG of a BMP, PNG or GIF image, in
memory or from file to file, with the engine of tolvarinxc. This package
holds the shared library.")
# A shared library's package tells dpkg-shlibdeps its dependency (shlibs) and
# has the dynamic loader's cache rebuilt (the ldconfig trigger).
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY "=")
file(WRITE ${CMAKE_BINARY_DIR}/debian/lib/triggers "activate-noawait ldconfig\n")
set(CPACK_DEBIAN_LIB_PACKAGE_CONTROL_EXTRA ${CMAKE_BINARY_DIR}/debian/lib/triggers)
# The trigger is all the package needs: the ldconfig scripts CPack adds beside
# it are taken out again, so that dpkg -r leaves no package behind.
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/debian/drop-ldconfig-scripts.cmake)
set(CPACK_DEBIAN_DEV_PACKAGE_NAME libtolvarinx-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "libtolvarinx0 (= ${PROJECT_VERSION})")
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_COMPONENT_DEV_DESCRIPTION "Lossless PNG optimizer library: development files
libtolvarinx makes the smallest exact PNG of a BMP, PNG or GIF image, in
memory or from file to file, with the engine of tolvarinxc. This package
holds the C header, the static and shared libraries and the pkg-config
file tolvarinx.pc.")
foreach(component console lib dev)
  if(NOT component IN_LIST installed_components)
    continue()
  endif()
  list(APPEND CPACK_COMPONENTS_ALL ${component})
  string(TOUPPER ${component} upper)
  # Every package carries the copyright file and the changelog in its own doc folder.
  install(FILES ${TOLVARINX_DEBIAN_COPYRIGHT} ${CMAKE_BINARY_DIR}/debian/changelog.gz
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${CPACK_DEBIAN_${upper}_PACKAGE_NAME}
    COMPONENT ${component})
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tolvarinx)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SOURCE tolvarinx)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TOLVARINX_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Stripped programs and libraries; the debug symbols are left out.
set(CPACK_STRIP_FILES ON)
include(CPack)
