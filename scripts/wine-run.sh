#!/usr/bin/env bash
# Runs one Windows program (a cross-built test suite, tolvarinxc.exe, ...) under
# 64-bit Wine with the environment of the target systems: code page 932,
# Japanese fonts, no Wine debug output. Needs an X display (DISPLAY); see
# scripts/wine-test.sh, which provides one with xvfb-run.
# Usage: scripts/wine-run.sh program.exe [arguments...]
# The program's exit code is returned; its output is passed on when it ends.
# Its standard input is empty, or the file TOLVARINX_WINE_STDIN names.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
. "$here/wine-env.sh"

if [ $# -lt 1 ]; then
    echo "usage: $0 program.exe [arguments...]" >&2
    exit 2
fi
if [ -z "${DISPLAY:-}" ]; then
    echo "wine-run.sh: no X display; run under xvfb-run (bash scripts/wine-test.sh <build dir> does)" >&2
    exit 2
fi
wine_start

# The program's output goes through files: Wine's helper processes (server,
# desktop) inherit the program's streams and outlive it, and a caller reading
# a pipe (CTest) would wait for them too.
out="$(mktemp)"
err="$(mktemp)"
trap 'rm -f "$out" "$err"' EXIT
set +e
"$WINE" "$@" <"${TOLVARINX_WINE_STDIN:-/dev/null}" >"$out" 2>"$err"
status=$?
set -e
cat "$out"
# Wine's note about the Z: drive (the Linux root folder) is no program output.
grep -v 'FS volume label and serial are not available' "$err" >&2 || true
exit $status
