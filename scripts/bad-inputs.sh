#!/usr/bin/env bash
# Damaged inputs through the console converter: every corrupt file of the PNG
# suite, truncations of every corpus file at many lengths and bit-flipped
# copies of every corpus file, each converted by tolvarinxc under a time limit
# (as a file and again on standard input)
# and judged by tolvarinx_bad_input_sweep (fuzz/tools/bad_input_sweep.cpp,
# which states the rule).
#
# Usage: bash scripts/bad-inputs.sh [SECONDS_PER_FILE]   (default 30)
# Builds tolvarinxc and the sweep with the native preset (build/native).
# Prints files tried and failures; exits 1 on any failure.
set -euo pipefail
# The sweep judges the Japanese reports, whatever the caller's locale.
export LANGUAGE=ja

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
corpus="$root/testdata"
seconds="${1:-30}"

cmake --preset native >/dev/null
cmake --build --preset native -j 2 --target tolvarinxc tolvarinx_bad_input_sweep

echo "== Bad inputs through tolvarinxc (${seconds}s per file)"
build/native/fuzz/tolvarinx_bad_input_sweep build/native/console/tolvarinxc "$corpus" "$seconds"
