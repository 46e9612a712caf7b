#!/usr/bin/env bash
# Builds static zopfli and libdeflate libraries for the Windows cross builds
# (x86_64 and i686 MinGW-w64) from Debian's source packages, the same releases
# the native build links from libzopfli-dev and libdeflate-dev.
#
#   build/deps/cache/   the downloaded source packages (.dsc and tarballs);
#                       a rerun with them present needs no network at all
#   build/deps/apt/     a private apt state: a deb-src list for the mirror of
#                       the machine's own sources, its indexes and caches
#   build/deps/mingw64/ and build/deps/mingw32/  the prefixes (include/, lib/)
#                       that the mingw presets pass as TOLVARINX_DEPS_PREFIX
#
# The machine's apt sources, lists and caches are never written: apt-get runs
# with every directory it writes pointed below build/deps/apt.
# Usage: bash scripts/build-windows-deps.sh   (from anywhere inside the repository)
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
deps="$root/build/deps"
cache="$deps/cache"
aptdir="$deps/apt"
packages=(zopfli libdeflate)
# As root, apt's download user could not write into the build tree.
sandbox=""
if [ "$(id -u)" -eq 0 ]; then sandbox=root; fi
mkdir -p "$cache"

# The deb-src entries: every Debian entry of the machine's sources (one-line
# lists and deb822 files), with the type changed to deb-src.
write_private_sources() {
    mkdir -p "$aptdir/sources.list.d" "$aptdir/lists/partial" "$aptdir/cache/archives/partial"
    : >"$aptdir/sources.list"
    local file
    for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
        [ -f "$file" ] || continue
        sed -n 's/^[[:space:]]*deb[[:space:]]\+\(.*debian.*\)$/deb-src \1/p' "$file" >>"$aptdir/sources.list"
    done
    rm -f "$aptdir/sources.list.d/"*.sources
    for file in /etc/apt/sources.list.d/*.sources; do
        [ -f "$file" ] || continue
        # Stanzas are separated by blank lines; keep those whose URIs name a
        # Debian archive, as deb-src.
        awk 'BEGIN { RS = ""; ORS = "\n\n" }
             /URIs:[^\n]*debian/ && /Types:[^\n]*deb([ \t\n]|$)/ {
                 sub(/Types:[^\n]*/, "Types: deb-src"); print }' "$file" \
            >"$aptdir/sources.list.d/$(basename "$file")"
    done
    if [ ! -s "$aptdir/sources.list" ] && ! cat "$aptdir/sources.list.d/"*.sources 2>/dev/null | grep -q .; then
        echo "build-windows-deps: no Debian entry in /etc/apt/sources.list(.d)" >&2
        exit 1
    fi
}

private_apt() {
    apt-get \
        -o Dir::Etc::SourceList="$aptdir/sources.list" \
        -o Dir::Etc::SourceParts="$aptdir/sources.list.d" \
        -o Dir::State::Lists="$aptdir/lists" \
        -o Dir::Cache="$aptdir/cache" \
        -o Dir::Cache::pkgcache="" -o Dir::Cache::srcpkgcache="" \
        ${sandbox:+-o APT::Sandbox::User="$sandbox"} \
        "$@"
}

# Downloads the source packages that are not in the cache yet.
fetch_sources() {
    local missing=()
    local package
    for package in "${packages[@]}"; do
        compgen -G "$cache/${package}_*.dsc" >/dev/null || missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    write_private_sources
    echo "== Fetching Debian source packages: ${missing[*]}"
    private_apt -q update
    (cd "$cache" && private_apt -q source --download-only "${missing[@]}")
}

# The unpacked tree of a cached source package (the newest version cached).
unpack() {
    local package="$1" dsc tree
    dsc="$(ls "$cache/${package}"_*.dsc | sort -V | tail -n 1)"
    tree="$deps/src/$(basename "$dsc" .dsc)"
    if [ ! -d "$tree" ]; then
        mkdir -p "$deps/src"
        rm -rf "$tree.partial"
        dpkg-source --no-check -x "$dsc" "$tree.partial" >/dev/null
        mv "$tree.partial" "$tree"
    fi
    echo "$tree"
}

# build_library <cc> <ar> <prefix> <name> <include dir> <header dir> <headers> <sources...>
# The headers (a pattern inside <include dir>) are copied to
# <prefix>/include/<header dir>, the layout of Debian's own -dev packages.
build_library() {
    local cc="$1" ar="$2" prefix="$3" name="$4" include="$5" headers="$prefix/include/$6" pattern="$7"
    shift 7
    local objects="$prefix/obj/$name"
    rm -rf "$objects"
    mkdir -p "$objects" "$prefix/lib" "$headers"
    local source object
    for source in "$@"; do
        object="$objects/$(echo "${source#"$include"/}" | tr '/' '_').o"
        "$cc" -O2 -DNDEBUG -I"$include" -c "$source" -o "$object"
    done
    rm -f "$prefix/lib/lib$name.a"
    "$ar" rcs "$prefix/lib/lib$name.a" "$objects"/*.o
    cp "$include"/$pattern "$headers/"
}

fetch_sources
zopfli="$(unpack zopfli)"
libdeflate="$(unpack libdeflate)"

for target in x86_64:mingw64 i686:mingw32; do
    arch="${target%%:*}"
    prefix="$deps/${target##*:}"
    stamp="$prefix/.built-from"
    wanted="$(basename "$zopfli") $(basename "$libdeflate") $(sha1sum "${BASH_SOURCE[0]}" | cut -c1-12)"
    if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$wanted" ]; then
        echo "== Windows libraries for $arch are up to date ($prefix)"
        continue
    fi
    echo "== Building zopfli and libdeflate for $arch ($prefix)"
    cc="$arch-w64-mingw32-gcc-posix"
    ar="$arch-w64-mingw32-ar"
    # zopfli: the library only (not the zopfli and zopflipng programs).
    mapfile -t zopfli_sources < <(find "$zopfli/src/zopfli" -name '*.c' ! -name 'zopfli_bin.c' | sort)
    build_library "$cc" "$ar" "$prefix" zopfli "$zopfli/src/zopfli" zopfli '*.h' \
        "${zopfli_sources[@]}"
    # libdeflate: every file of lib/ (the CPU-specific ones guard themselves).
    mapfile -t libdeflate_sources < <(find "$libdeflate/lib" -name '*.c' | sort)
    build_library "$cc" "$ar" "$prefix" deflate "$libdeflate" . libdeflate.h \
        "${libdeflate_sources[@]}"
    rm -rf "$prefix/obj"
    echo "$wanted" >"$stamp"
done
