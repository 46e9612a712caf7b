#!/usr/bin/env bash
# The installed library as a C program sees it: `cmake --install` of the lib
# and dev components into a scratch prefix, then installed_library_check.c is built
# with `pkg-config --cflags --libs tolvarinx` and run, linked to the shared
# object and (without the shared object in a copy of the tree) to the static
# archive. Also checks that the shared object exports only tlvx_* names.
# Usage: install_test.sh BUILD_DIR C_COMPILER CHECK_SOURCE SCRATCH [PROGRAM_FLAGS]
#   PROGRAM_FLAGS: compiler flags the library's own build needs in a program
#   too (its sanitizers), else empty.
set -euo pipefail
build="$1" cc="$2" source="$3" scratch="$4" program_flags="${5:-}"
rm -rf "$scratch"
prefix="$scratch/prefix"
for component in lib dev; do   # the runtime's shared object, the files to build with
  cmake --install "$build" --prefix "$prefix" --component "$component" >/dev/null
done

pcfile="$(find "$prefix" -name tolvarinx.pc)"
[ -n "$pcfile" ] || { echo "no installed tolvarinx.pc"; exit 1; }
[ -f "$prefix/include/tolvarinx.h" ] || { echo "no installed header"; exit 1; }
libdir="$(dirname "$(dirname "$pcfile")")"
for file in libtolvarinx.so libtolvarinx.so.0 libtolvarinx.a; do
  [ -e "$libdir/$file" ] || { echo "no installed $file"; exit 1; }
done

exports="$(nm -D --defined-only "$libdir/libtolvarinx.so.0" | awk '{print $3}')"
echo "exported: $(echo $exports)"
if grep -v '^tlvx_' <<<"$exports"; then
  echo "symbols beyond the C interface are exported"; exit 1
fi
[ "$(grep -c '^tlvx_' <<<"$exports")" -ge 5 ] || { echo "the C interface is not exported"; exit 1; }

# build_and_run NAME PKG_CONFIG_DIR [--static]
build_and_run() {
  local name="$1" pcdir="$2"; shift 2
  local flags
  flags="$(PKG_CONFIG_PATH="$pcdir" pkg-config "$@" --cflags --libs tolvarinx) $(pkg-config --cflags --libs libpng)"
  # shellcheck disable=SC2086
  "$cc" -std=c99 -Wall -Wextra -Werror $program_flags -o "$scratch/$name" "$source" $flags
  LD_LIBRARY_PATH="$(dirname "$pcdir")" "$scratch/$name" "$(PKG_CONFIG_PATH="$pcdir" pkg-config --modversion tolvarinx)"
}

build_and_run check-shared "$libdir/pkgconfig"
readelf -d "$scratch/check-shared" | grep -q 'NEEDED.*libtolvarinx\.so\.0' || { echo "not linked to the shared object"; exit 1; }

# A copy of the tree without the shared object: the linker can only take the archive.
cp -a "$prefix" "$scratch/static-prefix"
static_libdir="$scratch/static-prefix/${libdir#"$prefix"/}"
rm -f "$static_libdir"/libtolvarinx.so*
build_and_run check-static "$static_libdir/pkgconfig" --static
if readelf -d "$scratch/check-static" | grep -q 'NEEDED.*libtolvarinx'; then
  echo "the static build still needs the shared object"; exit 1
fi
rm -rf "$scratch"
