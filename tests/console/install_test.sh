#!/usr/bin/env bash
# `cmake --install` into a scratch prefix, then the installed tolvarinxc
# converts a BMP: the output has the PNG signature and the size the report
# gives, and the README is installed beside the program.
# Usage: install_test.sh BUILD_DIR SAMPLE_BMP SCRATCH
set -euo pipefail
build="$1" sample="$2" scratch="$3"
rm -rf "$scratch"
cmake --install "$build" --prefix "$scratch/prefix" --component console >/dev/null
program="$scratch/prefix/bin/tolvarinxc"
[ -x "$program" ] || { echo "no installed program at $program"; exit 1; }
[ -f "$scratch/prefix/share/doc/tolvarinxc/README.md" ] || { echo "no installed README"; exit 1; }
"$program" --version | grep -q '^tolvarinxc [0-9]'
"$program" -i "$sample" -o "$scratch/out.png" -nf -nd >"$scratch/report.txt"
signature="$(head -c 8 "$scratch/out.png" | od -An -tx1 | tr -d ' \n')"
[ "$signature" = "89504e470d0a1a0a" ] || { echo "not a PNG: $signature"; exit 1; }
grep -q "^outsize: $(stat -c %s "$scratch/out.png") " "$scratch/report.txt" || { cat "$scratch/report.txt"; exit 1; }
echo "installed program converted $(basename "$sample")"
rm -rf "$scratch"
