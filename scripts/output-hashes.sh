#!/usr/bin/env bash
# Prints one sha256 line for every output file and report the console writes
# over the test images: each image through -i (default mode and -x), the
# folder mode's text and JSON reports, and the file-list mode. Two builds
# that print the same lines write the same bytes; a refactoring that must not
# change any output compares this before and after.
# Usage: bash scripts/output-hashes.sh [tolvarinxc]  (default: build/native/console/tolvarinxc)
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
console="$(realpath "${1:-$root/build/native/console/tolvarinxc}")"
work="$(mktemp -d "${TMPDIR:-/tmp}/tolvarinx-hashes.XXXXXX")"
trap 'rm -rf "$work"' EXIT

mkdir -p "$work/in"
for folder in pngsuite/png gifsuite/gifs bench; do
    for file in "$root/testdata/$folder"/*.png "$root/testdata/$folder"/*.gif "$root/testdata/$folder"/*.bmp; do
        [ -f "$file" ] && cp "$file" "$work/in/$(basename "$(dirname "$file")")-$(basename "$file")"
    done
done
cp "$root/samples/"*.bmp "$work/in/" 2>/dev/null || true
cd "$work"

hash_of() {  # label, file
    printf '%s  %s\n' "$(sha256sum <"$2" | cut -d' ' -f1)" "$1"
}

for input in in/*; do
    name="$(basename "$input")"
    for mode in default x; do
        switches=()
        [ "$mode" = x ] && switches=(-x)
        # -x on the large benchmark images is covered by bench/run; keep this quick.
        if [ "$mode" = x ] && [ "$(stat -c %s "$input")" -gt 200000 ]; then continue; fi
        rm -f out.png
        "$console" -i "$input" -o out.png "${switches[@]}" >report.txt 2>&1 || true
        hash_of "$name $mode report" report.txt
        [ -f out.png ] && hash_of "$name $mode png" out.png
    done
done
rm -rf out && "$console" -d in -od out -j 2 >folder.txt 2>&1 || true
hash_of "folder report" folder.txt
for file in out/*; do hash_of "folder $(basename "$file")" "$file"; done
rm -rf out && "$console" -d in -od out -j 3 --json >folder.json 2>&1 || true
hash_of "folder json" folder.json
rm -rf list && mkdir list && cp in/bench-* list/ 2>/dev/null; cp in/png-b* list/
"$console" -f list/* -j 2 --json >list.json 2>&1 || true
hash_of "file list json" list.json
for file in list/*.png; do hash_of "list $(basename "$file")" "$file"; done
