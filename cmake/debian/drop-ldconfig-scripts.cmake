# Run by CPack after it made the Debian packages (CPACK_POST_BUILD_SCRIPTS,
# with CPACK_PACKAGE_FILES naming them). CPack gives a package with a shared
# object in /usr/lib a postinst and a postrm that call ldconfig; the
# package's ldconfig trigger does that work already, and a postrm keeps the
# package known to dpkg ("rc") after dpkg -r until it is purged. Such
# scripts are taken out and the package is built again from the same files.
# A maintainer script that does anything else stops the packaging.

# True in `result` when `script` holds nothing but the shell line, "set -e",
# blank lines, and ldconfig under an "if" on the script's first argument.
function(tolvarinx_only_ldconfig script result)
  file(STRINGS ${script} lines)
  set(only TRUE)
  foreach(line IN LISTS lines)
    string(STRIP "${line}" line)
    if(NOT line MATCHES "^(#!/bin/sh|set -e|ldconfig|fi|if \\[ \"\\$1\" = \"[a-z]+\" \\]; then)?$")
      set(only FALSE)
    endif()
  endforeach()
  set(${result} ${only} PARENT_SCOPE)
endfunction()

foreach(package IN LISTS CPACK_PACKAGE_FILES)
  if(NOT package MATCHES "\\.deb$")
    continue()
  endif()
  set(tree ${CPACK_TOPLEVEL_DIRECTORY}/unpacked-deb)
  file(REMOVE_RECURSE ${tree})
  execute_process(COMMAND dpkg-deb --raw-extract ${package} ${tree} RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "dpkg-deb --raw-extract ${package} failed")
  endif()
  set(dropped "")
  foreach(name preinst postinst prerm postrm)
    set(script ${tree}/DEBIAN/${name})
    if(NOT EXISTS ${script})
      continue()
    endif()
    tolvarinx_only_ldconfig(${script} only)
    if(NOT only)
      message(FATAL_ERROR "${package}: the maintainer script ${name} does more than call ldconfig")
    endif()
    file(REMOVE ${script})
    list(APPEND dropped ${name})
  endforeach()
  if(dropped)
    execute_process(COMMAND dpkg-deb --root-owner-group -Zgzip --build ${tree} ${package}
      OUTPUT_QUIET RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
      message(FATAL_ERROR "dpkg-deb --build ${package} failed")
    endif()
    list(JOIN dropped ", " dropped)
    message(STATUS "${package}: without the maintainer scripts ${dropped} (the ldconfig trigger does their work)")
  endif()
  file(REMOVE_RECURSE ${tree})
endforeach()
