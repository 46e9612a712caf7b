# Installation and packages.
#
# `cmake --install` puts tolvarinxc in bin/ and its README in
# share/doc/tolvarinxc/ under the prefix. CPack makes a Debian package of the
# console converter on Linux (DEB), and from a MinGW build a zip of
# Tolvarinx.exe and tolvarinxc.exe (with the README) per architecture.
include(GNUInstallDirs)

if(WIN32)
  set(TOLVARINX_BIN_DESTINATION .)
  set(TOLVARINX_DOC_DESTINATION .)
else()
  set(TOLVARINX_BIN_DESTINATION ${CMAKE_INSTALL_BINDIR})
  set(TOLVARINX_DOC_DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/tolvarinxc)
endif()

if(TARGET tolvarinxc)
  install(TARGETS tolvarinxc RUNTIME DESTINATION ${TOLVARINX_BIN_DESTINATION} COMPONENT console)
  install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${TOLVARINX_DOC_DESTINATION} COMPONENT console)
endif()
if(TARGET Tolvarinx)
  install(TARGETS Tolvarinx RUNTIME DESTINATION ${TOLVARINX_BIN_DESTINATION} COMPONENT desktop)
endif()

set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Tolvarinx")
set(CPACK_PACKAGE_CONTACT "Tolvarinx maintainers <tolvarinx@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Lossless PNG optimizer: BMP, PNG and GIF in, the smallest exact PNG out")
set(CPACK_RESOURCE_FILE_README ${PROJECT_SOURCE_DIR}/README.md)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_NAME Tolvarinx)
  if(CMAKE_SYSTEM_PROCESSOR MATCHES "64")
    set(CPACK_SYSTEM_NAME win64)
  else()
    set(CPACK_SYSTEM_NAME win32)
  endif()
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGE_NAME tolvarinxc)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_COMPONENTS_ALL console)
  set(CPACK_DEB_COMPONENT_INSTALL OFF)
endif()
include(CPack)
