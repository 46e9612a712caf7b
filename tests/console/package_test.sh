#!/usr/bin/env bash
# The packages as a user receives them. From the native build: every Debian
# package CPack makes passes lintian without an error, carries the notices
# of the libraries it links and no maintainer script, installs with dpkg -i,
# runs, and dpkg -r removes it with nothing left, not even its "rc" state. From each MinGW build: the zip holds the programs,
# LICENSE and THIRD-PARTY-NOTICES with the notices of zlib, zopfli and
# libdeflate.
# Usage: package_test.sh NATIVE_BUILD [MINGW_BUILD...]   (as root or with sudo)
set -euo pipefail
native="$1"
shift
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT

fail() { echo "package test: $*" >&2; exit 1; }

# check_notices FILE ZOPFLI_TEXT: a section per linked library, each with its
# licence (zopfli's: ZOPFLI_TEXT, the reference in a Debian copyright file or
# the full Apache text that a static link must carry).
check_notices() {
    local file="$1" entry
    for entry in "zlib:|provided 'as-is'" "zopfli:|$2" "libdeflate:|Permission is hereby granted"; do
        grep -q "^ *${entry%%|*} " "$file" || fail "$file: no section ${entry%%|*}"
        # (grep without -q: an early exit would fail the pipe under pipefail)
        sed -n "/^ *${entry%%|*} /,\$p" "$file" | grep "${entry#*|}" >/dev/null ||
            fail "$file: the ${entry%%:*} section lacks its licence (${entry#*|})"
    done
}

# cpack_fresh BUILD GENERATOR: the build's packages, made anew.
cpack_fresh() {
    rm -rf "$1/packages"
    (cd "$1" && cpack -G "$2" >"$scratch/cpack.log" 2>&1) || { cat "$scratch/cpack.log"; fail "cpack -G $2 failed in $1"; }
}

cpack_fresh "$native" DEB
mapfile -t debs < <(ls "$native"/packages/*.deb)
[ ${#debs[@]} -gt 0 ] || fail "cpack made no .deb"
names=()
for deb in "${debs[@]}"; do
    name="$(dpkg-deb -f "$deb" Package)"
    names+=("$name")
    echo "lintian $(basename "$deb"):"
    status=0
    lintian --fail-on error "$deb" >"$scratch/lintian.txt" 2>&1 || status=$?
    grep -v '^running with root privileges' "$scratch/lintian.txt" || true
    [ "$status" = 0 ] || fail "lintian reports errors for $(basename "$deb")"
    dpkg-deb --fsys-tarfile "$deb" | tar -xO "./usr/share/doc/$name/copyright" >"$scratch/copyright" ||
        fail "$name: no copyright file"
    check_notices "$scratch/copyright" "Apache License, Version 2.0"
    # The library's ldconfig trigger needs no script; a postrm would keep the package known after dpkg -r.
    scripts="$(dpkg-deb --ctrl-tarfile "$deb" | tar -t | grep -E '/(pre|post)(inst|rm)$' || true)"
    [ -z "$scripts" ] || fail "$name has maintainer scripts: $scripts"
done

$sudo dpkg -i "${debs[@]}" >/dev/null
version="$(/usr/bin/tolvarinxc --version)" || fail "the installed tolvarinxc --version failed"
[ "${version%%$'\n'*}" = "tolvarinxc $(dpkg-deb -f "$native"/packages/tolvarinxc_*.deb Version)" ] ||
    fail "installed --version: $version"
[ -f /usr/share/man/man1/tolvarinxc.1.gz ] || fail "no installed manual page"
# dpkg -r removes every file and, as no package keeps a maintainer script or
# a conffile, every package: nothing is left for dpkg -P (no "rc" state).
$sudo dpkg -r "${names[@]}" >/dev/null
for name in "${names[@]}"; do
    state="$(dpkg-query -W -f='${db:Status-Status}' "$name" 2>/dev/null || true)"
    [ -z "$state" ] || [ "$state" = not-installed ] || fail "$name after dpkg -r: $state (dpkg -P would still remove it)"
done
[ ! -e /usr/bin/tolvarinxc ] && [ ! -e /usr/share/doc/tolvarinxc ] && [ ! -e /usr/include/tolvarinx.h ] &&
    ! ls /usr/lib/libtolvarinx* >/dev/null 2>&1 || fail "files left after dpkg -r"
echo "installed, ran and removed: ${names[*]}"

for build in "$@"; do
    build="$(cd "$build" && pwd)"   # the zip is unpacked in the scratch folder
    cpack_fresh "$build" ZIP
    zip="$(ls "$build"/packages/*.zip)"
    listing="$(cmake -E tar tf "$zip")"
    for member in tolvarinxc.exe LICENSE THIRD-PARTY-NOTICES; do
        echo "$listing" | grep "/$member\$" >/dev/null || fail "$(basename "$zip") lacks $member"
    done
    (cd "$scratch" && rm -rf zip && mkdir zip && cd zip && cmake -E tar xf "$zip")
    check_notices "$(find "$scratch/zip" -name THIRD-PARTY-NOTICES)" "TERMS AND CONDITIONS FOR USE"
    echo "$(basename "$zip"): programs, LICENSE and the notices of zlib, zopfli and libdeflate"
done
