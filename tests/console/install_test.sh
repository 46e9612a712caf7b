#!/usr/bin/env bash
# `cmake --install` into a scratch prefix, then the installed tolvarinxc
# converts a BMP: the output has the PNG signature and the size the report
# gives, and the README, the manual page and the copyright file are installed.
# Usage: install_test.sh BUILD_DIR SAMPLE_BMP SCRATCH
set -euo pipefail
build="$1" sample="$2" scratch="$3"
rm -rf "$scratch"
cmake --install "$build" --prefix "$scratch/prefix" --component console >/dev/null
program="$scratch/prefix/bin/tolvarinxc"
[ -x "$program" ] || { echo "no installed program at $program"; exit 1; }
for file in share/doc/tolvarinxc/README.md share/doc/tolvarinxc/copyright share/man/man1/tolvarinxc.1.gz; do
    [ -f "$scratch/prefix/$file" ] || { echo "not installed: $file"; exit 1; }
done
"$program" --version | grep -q '^tolvarinxc [0-9]'
"$program" -i "$sample" -o "$scratch/out.png" -nf -nd >"$scratch/report.txt"
signature="$(head -c 8 "$scratch/out.png" | od -An -tx1 | tr -d ' \n')"
[ "$signature" = "89504e470d0a1a0a" ] || { echo "not a PNG: $signature"; exit 1; }
grep -q "^outsize: $(stat -c %s "$scratch/out.png") " "$scratch/report.txt" || { cat "$scratch/report.txt"; exit 1; }
echo "installed program converted $(basename "$sample")"
rm -rf "$scratch"
