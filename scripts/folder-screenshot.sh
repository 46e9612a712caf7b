#!/usr/bin/env bash
# Takes the picture of the folder conversion's progress dialog shown in the
# README: runs the dialog test that converts a small tree under Wine on a
# virtual X display and keeps what the dialog shows at the end of the run.
# Usage: bash scripts/folder-screenshot.sh [test_folder_win.exe] [output.png]
#        (defaults: build/mingw64/tests/test_folder_win.exe, docs/images/folder-progress.png)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
exe="$(realpath "${1:-$here/../build/mingw64/tests/test_folder_win.exe}")"
out="$(realpath -m "${2:-$here/../docs/images/folder-progress.png}")"
mkdir -p "$(dirname "$out")"
rm -f "$out"
export TOLVARINX_WINEPREFIX="${TOLVARINX_WINEPREFIX:-$(dirname "$(dirname "$exe")")/wineprefix}"
export TOLVARINX_SCREENSHOT="$out"
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
    . "$1/wine-env.sh"
    wine_start || exit 1
    "$WINE" "$2" --gtest_filter=FolderDialogs.TreeIntoASeparateFolder
    status=$?
    wine_stop
    exit $status
' folder-screenshot "$here" "$exe"
if [ ! -s "$out" ]; then
    echo "no picture was written" >&2
    exit 1
fi
echo "wrote $out"
