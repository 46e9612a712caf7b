# The notices of the libraries this build links, written at configure time
# from the files the libraries really came from, so they follow the build:
#
#   a library file that a Debian package owns (the native build, and MinGW's
#   zlib from libz-mingw-w64-dev): that package's
#   /usr/share/doc/<package>/copyright;
#   a library of scripts/build-windows-deps.sh (MinGW's zopfli and libdeflate):
#   debian/copyright of the Debian source tree named in the prefix's
#   .built-from stamp, and the upstream licence file (COPYING) of that tree,
#   since a static link carries the code without the licence text.
#
# tolvarinx_write_third_party_notices(<notices file> <copyright file>
#     NAME LIBRARY SOURCE_PACKAGE [NAME LIBRARY SOURCE_PACKAGE ...])
# writes <notices file> (plain text, shipped in the Windows zips) and
# <copyright file> (the Debian package's copyright in the machine-readable
# format: the project's own Files paragraph, the notices in the header's
# Comment). SOURCE_PACKAGE is the library's Debian source package name.

# Sets <out_label> to "<package> <version>" and <out_files> to the notice
# files of <library>; a library whose origin cannot be told stops the
# configure, since a package without its notices must not be made.
function(tolvarinx_library_notice_files library source_package out_label out_files)
  get_filename_component(real ${library} REALPATH)
  # With merged /usr, dpkg may have the file registered below /lib.
  string(REGEX REPLACE "^/usr/" "/" unmerged ${real})
  foreach(candidate ${real} ${unmerged})
    execute_process(COMMAND dpkg-query -S ${candidate}
      OUTPUT_VARIABLE owner RESULT_VARIABLE status ERROR_QUIET)
    if(status EQUAL 0)
      string(REGEX MATCH "^[^ ,]+" package "${owner}")   # "zlib1g:amd64: /lib/..."
      string(REGEX REPLACE ":$" "" package "${package}")
      execute_process(COMMAND dpkg-query -W -f=\${Version} ${package}
        OUTPUT_VARIABLE version RESULT_VARIABLE status ERROR_QUIET)
      string(REGEX REPLACE ":[a-z0-9]+$" "" name ${package})
      set(copyright /usr/share/doc/${name}/copyright)
      if(status EQUAL 0 AND EXISTS ${copyright})
        set(${out_label} "Debian package ${name} ${version}" PARENT_SCOPE)
        set(${out_files} ${copyright} PARENT_SCOPE)
        return()
      endif()
    endif()
  endforeach()

  if(TOLVARINX_DEPS_PREFIX)
    get_filename_component(deps_prefix ${TOLVARINX_DEPS_PREFIX} REALPATH)
  endif()
  if(deps_prefix AND real MATCHES "^${deps_prefix}/" AND EXISTS ${deps_prefix}/.built-from)
    file(READ ${deps_prefix}/.built-from stamp)
    string(REGEX MATCH "(^| )${source_package}_[^ \n]+" tree "${stamp}")
    string(STRIP "${tree}" tree)
    # scripts/build-windows-deps.sh unpacks beside the prefixes, in src/.
    get_filename_component(deps_root ${deps_prefix} DIRECTORY)
    set(source_dir ${deps_root}/src/${tree})
    if(tree AND EXISTS ${source_dir}/debian/copyright AND EXISTS ${source_dir}/COPYING)
      set(${out_label} "Debian source package ${tree}" PARENT_SCOPE)
      set(${out_files} ${source_dir}/debian/copyright ${source_dir}/COPYING PARENT_SCOPE)
      return()
    endif()
  endif()
  message(FATAL_ERROR "No licence notice found for ${library} (${source_package}): "
    "neither a Debian package owns it nor is it a build of scripts/build-windows-deps.sh")
endfunction()

# <text> with every line indented by one space and empty lines as " .", the
# continuation lines of a field in a Debian control-style file.
function(tolvarinx_debian_field_text text out)
  string(REGEX REPLACE "\n+$" "" text "${text}")
  string(REPLACE "\n" "\n " text " ${text}")
  # Twice: one pass leaves every second line of a run of blank lines.
  string(REGEX REPLACE "\n[ \t]+\n" "\n .\n" text "${text}")
  string(REGEX REPLACE "\n[ \t]+\n" "\n .\n" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

function(tolvarinx_write_third_party_notices notices_file copyright_file)
  set(rule "======================================================================")
  set(notices "Third-party notices of Tolvarinx ${PROJECT_VERSION}\n\n")
  string(APPEND notices "Tolvarinx is under the MIT licence (the file LICENSE). Its programs are\n"
    "linked with the libraries below. Each section holds the copyright file of\n"
    "the Debian package the library was taken from and, for the libraries\n"
    "built into the programs from source, the library's own licence file.\n")
  set(linked "")
  set(arguments ${ARGN})
  while(arguments)
    list(POP_FRONT arguments name library source_package)
    tolvarinx_library_notice_files(${library} ${source_package} label files)
    string(APPEND notices "\n${rule}\n${name}: ${label}\n${rule}\n")
    foreach(file ${files})
      file(READ ${file} text)
      string(APPEND notices "\n${text}")
    endforeach()
    list(APPEND linked "${name} (${label})")
  endwhile()
  file(WRITE ${notices_file} "${notices}")

  list(JOIN linked ", " linked)
  file(STRINGS ${PROJECT_SOURCE_DIR}/LICENSE licence_lines)
  list(FIND licence_lines "" first_blank)
  math(EXPR grant_start "${first_blank} + 1")
  list(SUBLIST licence_lines ${grant_start} -1 grant_lines)
  list(JOIN grant_lines "\n" grant)
  tolvarinx_debian_field_text("${grant}" grant)
  tolvarinx_debian_field_text(
    "tolvarinxc is linked with ${linked}. Their notices follow.\n\n${notices}" comment)
  file(WRITE ${copyright_file}
    "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
    "Upstream-Name: Tolvarinx\n"
    "Upstream-Contact: ${TOLVARINX_MAINTAINER}\n"
    "Comment:\n${comment}\n"
    "\n"
    "Files: *\n"
    "Copyright: 2026 The Tolvarinx developers\n"
    "License: Expat\n${grant}\n")
endfunction()
