#!/usr/bin/env bash
# Runs the test suites of a cross-built Windows build (x86_64) under Wine on a
# virtual X display. The Wine prefix is <build dir>/wineprefix, created on the
# first run (a fresh clone gets a fresh prefix).
# Usage: bash scripts/wine-test.sh [build dir] [extra ctest arguments...]
#        (build dir defaults to build/mingw64)
# Environment: TOLVARINX_FRESH_WINEPREFIX=1 deletes the prefix first.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
build="$(realpath "${1:-$here/../build/mingw64}")"
shift || true

export TOLVARINX_WINEPREFIX="$build/wineprefix"
if [ "${TOLVARINX_FRESH_WINEPREFIX:-0}" = "1" ]; then
    rm -rf "$TOLVARINX_WINEPREFIX"
fi

# One X server for all suites; Wine's own processes are ended before it goes.
exec xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
    set -uo pipefail
    . "$1/wine-env.sh"
    build="$2"
    shift 2
    wine_start || exit 1
    ctest --test-dir "$build" --output-on-failure -j "$(nproc 2>/dev/null || echo 2)" "$@"
    status=$?
    wine_stop
    exit $status
' wine-test "$here" "$build" "$@"
