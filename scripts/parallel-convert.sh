#!/usr/bin/env bash
# Converts a folder tree one file per job with GNU parallel, locally or spread
# over machines: the same outputs as `tolvarinxc -d INPUT -od OUTPUT -r -kt`.
#
# Usage: scripts/parallel-convert.sh INPUT_FOLDER OUTPUT_FOLDER [tolvarinxc switches] [-- parallel options]
#   e.g.  scripts/parallel-convert.sh photos photos-png -nd -- -j 2
#         scripts/parallel-convert.sh photos photos-png -- --sshlogin 8/alpha,8/beta,: -j 4
# With --sshlogin every machine must see INPUT and OUTPUT under the same
# absolute paths (a shared file system) and have tolvarinxc on its PATH.
# Environment: TOLVARINXC, the program to run (default: tolvarinxc).
#
# Like the folder mode it lists BMP, PNG and GIF files (any case), skips
# folders whose name begins with '.', never reads the output tree, mirrors the
# sub-folders and names every output <name>.png. Exit status 0 when every
# file converted, 1 otherwise. Two inputs that differ only in their extension
# write the same output; which one wins is then the order of the jobs.
set -uo pipefail

if [ $# -lt 2 ]; then
    sed -n '2,17s/^# \{0,1\}//p' "$0" >&2
    exit 2
fi
input="$(cd "$1" && pwd)" || exit 1
mkdir -p "$2" || exit 1
output="$(cd "$2" && pwd)" || exit 1
shift 2
switches=()
while [ $# -gt 0 ] && [ "$1" != "--" ]; do switches+=("$1"); shift; done
[ "${1:-}" = "--" ] && shift
program="${TOLVARINXC:-tolvarinxc}"

cd "$input" || exit 1
# The sub-folders first, so that no two jobs race to make one.
find . -mindepth 1 \( -type d \( -name '.*' -o -path "./${output#"$input"/}" \) -prune \) -o -type d -print0 |
    (cd "$output" && xargs -0 -r mkdir -p)
find . -mindepth 1 \( -type d \( -name '.*' -o -path "./${output#"$input"/}" \) -prune \) -o \
    -type f \( -iname '*.bmp' -o -iname '*.png' -o -iname '*.gif' \) -print0 |
    parallel -0 "$@" "$(printf '%q' "$program") -i $(printf '%q' "$input")/{} -o $(printf '%q' "$output")/{.}.png ${switches[*]@Q} >/dev/null"
[ $? -eq 0 ] || exit 1
