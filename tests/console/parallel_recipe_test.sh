#!/usr/bin/env bash
# The README's GNU parallel recipe (scripts/parallel-convert.sh, two jobs, no
# ssh) writes byte for byte what the folder mode writes for the same folder.
# Usage: parallel_recipe_test.sh TOLVARINXC FOLDER SCRATCH
# Exit 77 (skipped) when GNU parallel or the folder is missing.
set -euo pipefail
program="$1" folder="$2" scratch="$3"
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
command -v parallel >/dev/null || { echo "GNU parallel is not installed"; exit 77; }
[ -d "$folder" ] || { echo "no folder $folder"; exit 77; }

rm -rf "$scratch"
mkdir -p "$scratch"
switches=(-nf -nd)
set +e
"$program" -d "$folder" -od "$scratch/batch" -r -kt -j 2 "${switches[@]}" >"$scratch/batch.log"
batch_status=$?
TOLVARINXC="$program" bash "$root/scripts/parallel-convert.sh" "$folder" "$scratch/parallel" "${switches[@]}" -- -j 2
parallel_status=$?
set -e

count="$(find "$scratch/batch" -type f | wc -l)"
[ "$count" -gt 0 ] || { echo "the folder mode wrote nothing"; exit 1; }
diff -r "$scratch/batch" "$scratch/parallel"
[ "$batch_status" -eq "$parallel_status" ] || { echo "exit status $batch_status against $parallel_status"; exit 1; }
echo "$count outputs identical"
rm -rf "$scratch"
