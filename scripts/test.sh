#!/usr/bin/env bash
# Installs what the project needs, builds everything and runs every test:
#   1. the native build and its test suites (CTest),
#   2. hostile input and interrupted runs: the suites again under ASan and
#      UBSan, the engine, console and folder-run suites under ThreadSanitizer,
#      every fuzz target for a minute, the crash-consistency runs and the
#      bad-input sweep (each prints its figures),
#   3. the Windows cross builds (x86_64 and i686),
#   4. the packages: the native .deb files through lintian, dpkg -i and dpkg -r,
#      and the Windows zips' notices (tests/console/package_test.sh),
#   5. the x86_64 tests under Wine.
# Usage: bash scripts/test.sh [--quick]  (from anywhere inside the repository)
#   --quick  only step 1: the native build and its suites, for the edit-test
#            loop; CI (.ci/run) runs everything.
# Environment: TOLVARINX_SKIP_SETUP=1 skips the package installation;
# TOLVARINX_FUZZ_SECONDS sets the time per fuzz target (default 60).
set -euo pipefail

quick=0
case "${1:-}" in
    "") ;;
    --quick) quick=1 ;;
    *) echo "usage: bash scripts/test.sh [--quick]" >&2; exit 2 ;;
esac

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
jobs="$(nproc 2>/dev/null || echo 2)"

if [ "${TOLVARINX_SKIP_SETUP:-0}" != "1" ]; then
    echo "== Installing packages"
    bash scripts/setup.sh
fi

# The tools the stages below call, checked now rather than half an hour in.
tools="cmake ninja ctest g++ convert msgfmt msgcmp"
[ "$quick" = 1 ] || tools="$tools clang++ python3 strace cmp parallel xvfb-run lintian dpkg-deb
    x86_64-w64-mingw32-g++-posix i686-w64-mingw32-g++-posix"
missing=""
for tool in $tools; do
    command -v "$tool" >/dev/null || missing="$missing $tool"
done
[ "$quick" = 1 ] || [ -x /usr/lib/wine/wine64 ] || missing="$missing wine64"
if [ -n "$missing" ]; then
    echo "missing:$missing (scripts/setup.sh installs them)" >&2
    exit 1
fi

echo "== Native build"
cmake --preset native >/dev/null
cmake --build --preset native -j "$jobs"

echo "== Native tests"
ctest --preset native -j "$jobs"

if [ "$quick" = 1 ]; then
    echo "== Quick run done (native suites only; bash scripts/test.sh runs everything)"
    exit 0
fi

echo "== Sanitizer build (ASan, UBSan)"
cmake --preset sanitize >/dev/null
cmake --build --preset sanitize -j "$jobs"

echo "== Sanitizer tests"
ctest --preset sanitize -j "$jobs"

echo "== ThreadSanitizer build"
cmake --preset tsan >/dev/null
cmake --build --preset tsan -j "$jobs" --target test_engine test_console test_app tolvarinxc

echo "== ThreadSanitizer tests (engine, console, folder run)"
ctest --preset tsan -j "$jobs"

echo "== Fuzzing"
bash scripts/fuzz.sh "${TOLVARINX_FUZZ_SECONDS:-60}"

echo "== Crash consistency"
bash scripts/crash-consistency.sh

echo "== Bad inputs"
bash scripts/bad-inputs.sh 30

for preset in mingw64 mingw32; do
    echo "== Windows cross build ($preset)"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j "$jobs"
done

echo "== Packages (lintian, dpkg -i and -r, the zips' notices)"
bash tests/console/package_test.sh build/native build/mingw64 build/mingw32

if [ -x scripts/wine-test.sh ]; then
    echo "== Windows tests under Wine (x86_64)"
    bash scripts/wine-test.sh build/mingw64
fi
