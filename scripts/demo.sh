#!/usr/bin/env bash
# Installs what the project needs, builds the console converter and converts
# the bundled sample image, printing the report.
# Usage: bash scripts/demo.sh            (writes build/sample.png)
# Environment: TOLVARINX_SKIP_SETUP=1 skips the package installation.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

if [ "${TOLVARINX_SKIP_SETUP:-0}" != "1" ]; then
    bash scripts/setup.sh
fi
cmake --preset native >/dev/null
cmake --build --preset native --target tolvarinxc -j "$(nproc 2>/dev/null || echo 2)"
echo
build/native/console/tolvarinxc -i samples/sample.bmp -o build/sample.png
