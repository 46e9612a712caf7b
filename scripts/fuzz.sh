#!/usr/bin/env bash
# Fuzzing with libFuzzer under AddressSanitizer and UndefinedBehaviorSanitizer:
# the PNG, GIF and BMP readers, the animated PNG and GIF readers, the whole
# conversion of small images, the settings file parser and the console's
# command-line scanner (fuzz/).
#
#   bash scripts/fuzz.sh [SECONDS]
#       Runs every target for SECONDS (default 60) from its committed corpus
#       (fuzz/corpus/<target>) and reproducers (fuzz/regressions/<target>).
#       The tree is not changed. Prints executions and findings per target and
#       exits 1 on any finding, printing the reproducer (base64) to keep under
#       fuzz/regressions/<target>/.
#   bash scripts/fuzz.sh --slowest
#       Runs every committed input of every target once and prints each
#       target's slowest, the figure the time limits below are set from.
#   bash scripts/fuzz.sh --refresh [SECONDS]
#       For developers: adds seeds (the images of testdata/, the images the
#       regression suite generates, a few texts), runs every target for
#       SECONDS (default 600) and rewrites fuzz/corpus/<target> as the
#       minimised merge of all it found.
#
# Environment: TOLVARINX_FUZZ_TARGETS (default: all), TOLVARINX_FUZZ_JOBS
# (targets run side by side, default 2).
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
corpus_root="$root/testdata"

refresh=0
slowest=0
case "${1:-}" in
    --refresh) refresh=1; shift ;;
    --slowest) slowest=1; shift ;;
esac
seconds="${1:-$([ "$refresh" = 1 ] && echo 600 || echo 60)}"
targets="${TOLVARINX_FUZZ_TARGETS:-png gif bmp animation convert settings cmdline}"
parallel="${TOLVARINX_FUZZ_JOBS:-2}"
build="$root/build/fuzz"

echo "== Fuzz build (clang, libFuzzer, ASan, UBSan)"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLVARINX_FUZZ=ON -DTOLVARINX_SANITIZE=ON \
    -DTOLVARINX_BUILD_TESTS=OFF >/dev/null
fuzzers=()
for t in $targets; do fuzzers+=("fuzz_$t"); done
cmake --build "$build" -j 2 --target "${fuzzers[@]}"

work="$(mktemp -d "${TMPDIR:-/tmp}/tolvarinx-fuzz.XXXXXX")"
trap 'rm -rf "$work"' EXIT

# Seconds one unit may take per target: about ten times the slowest committed
# input on an idle 2-core machine (--slowest: convert 6.2 s, gif 1.05 s, png
# 0.69 s, the others below 0.2 s), at least 10, so that only a real
# regression trips it on a loaded machine. A unit above it is a finding
# (slow-unit); one above twice it a hang (timeout). Conversions run zopfli,
# whose many 200 KiB allocations the sanitizer maps and unmaps one by one:
# such a unit slows down most when the machine is busy.
slow_unit_seconds() {
    case "$1" in
        convert) echo 60 ;;
        *) echo 10 ;;
    esac
}

if [ "$slowest" = 1 ]; then
    for t in $targets; do
        inputs=("$root/fuzz/corpus/$t"/* "$root/fuzz/regressions/$t"/*)
        existing=()
        for f in "${inputs[@]}"; do [ -f "$f" ] && existing+=("$f"); done
        "$build/fuzz/fuzz_$t" -rss_limit_mb=2048 -timeout=600 "${existing[@]}" 2>&1 |
            awk -v t="$t" '/^Executed / { ms = $(NF - 1) + 0; if (ms >= max) { max = ms; name = $2 } }
                END { n = split(name, part, "/"); printf "fuzz %s: slowest input %s, %.2f s\n", t, part[n], max / 1000 }'
    done
    exit 0
fi

# Seeds beyond the committed corpus, for --refresh.
collect_seeds() {
    local seeds="$work/seeds"
    mkdir -p "$seeds"/{png,gif,bmp,animation,convert,settings,cmdline}
    cp "$corpus_root"/pngsuite/png/*.png "$seeds/png/"
    cp "$corpus_root"/gifsuite/gifs/*.gif "$seeds/gif/"
    cp "$corpus_root"/gifsuite/gifs/*.gif "$seeds/animation/"
    cp "$corpus_root"/pngsuite/bmp/*.bmp "$seeds/bmp/"
    echo "== Generated seeds (regression suite, sanitize build)"
    cmake --preset sanitize >/dev/null
    cmake --build --preset sanitize -j 2 --target test_regression
    TOLVARINX_FUZZ_SEED_DIR="$seeds" "$root/build/sanitize/tests/test_regression" \
        --gtest_filter='GeneratedInputs.*' >/dev/null
    # Generated images for the conversion: flags, width, height, colour class, seed, pick.
    printf '\x00\x10\x10\x05\x07\x01' >"$seeds/convert/generated-16-colours"
    printf '\x60\x20\x08\x09\x33\x02' >"$seeds/convert/generated-direct-alpha"
    printf '\x2e\x07\x03\x08\x44\x00' >"$seeds/convert/generated-257-colours-key"
    printf '[Tolvarinx3]\r\nWinX=100\r\nWinY=-20\r\nOptFlag=256\r\nDirFlag=448\r\nOpenDir=/home/a\r\nSaveDir=\r\n' \
        >"$seeds/settings/written-form"
    printf '[Other]\nWinX=1\n[Tolvarinx3]extra\rWinX = 5\rWinX=12abc\n\n[Tolvarinx3]\nOptFlag=70000' \
        >"$seeds/settings/mixed-line-ends"
    printf 'tolvarinxc -i "my file.png" -o out.png -nf -nd -nc -ts' >"$seeds/cmdline/all-switches"
    printf 'tolvarinxc -o -nf -o out.png "-i" x -i  "unclosed' >"$seeds/cmdline/tricky"
}

run_target() {
    local t="$1" dir="$work/$1"
    mkdir -p "$dir/corpus" "$dir/artifacts"
    cp "$root/fuzz/corpus/$t/"* "$dir/corpus/" 2>/dev/null || true
    local inputs=("$dir/corpus")
    [ -d "$root/fuzz/regressions/$t" ] && inputs+=("$root/fuzz/regressions/$t")
    [ "$refresh" = 1 ] && inputs+=("$work/seeds/$t")
    local slow
    slow="$(slow_unit_seconds "$t")"
    local options=(-max_total_time="$seconds" -timeout=$((2 * slow)) -report_slow_units="$slow" -rss_limit_mb=2048
                   -print_final_stats=1 -artifact_prefix="$dir/artifacts/")
    [ -f "$root/fuzz/dict/$t.dict" ] && options+=(-dict="$root/fuzz/dict/$t.dict")
    set +e
    "$build/fuzz/fuzz_$t" "${options[@]}" "${inputs[@]}" >"$dir/log" 2>&1
    echo $? >"$dir/status"
    set -e
}

[ "$refresh" = 1 ] && collect_seeds

echo "== Fuzzing for ${seconds}s per target, $parallel at a time"
running=0
for t in $targets; do
    run_target "$t" &
    running=$((running + 1))
    if [ "$running" -ge "$parallel" ]; then
        wait -n || true
        running=$((running - 1))
    fi
done
wait

total_findings=0
for t in $targets; do
    dir="$work/$t"
    executions="$(sed -n 's/^stat::number_of_executed_units: *//p' "$dir/log" | tail -n1)"
    findings="$(find "$dir/artifacts" -type f | wc -l)"
    status="$(cat "$dir/status")"
    if [ "$status" != 0 ] && [ "$findings" = 0 ]; then
        findings=1   # the run ended abnormally without saving an input
    fi
    echo "fuzz $t: executions ${executions:-0}, findings $findings"
    if [ "$findings" != 0 ]; then
        total_findings=$((total_findings + findings))
        echo "---- fuzz $t: end of log"
        tail -n 60 "$dir/log"
        for artifact in "$dir/artifacts"/*; do
            [ -f "$artifact" ] || continue
            echo "---- reproducer $(basename "$artifact") (base64; keep it as fuzz/regressions/$t/<name>)"
            base64 "$artifact"
        done
    fi
done

if [ "$refresh" = 1 ]; then
    # Findings are reported above; what was learnt besides them is kept.
    echo "== Minimising the corpus"
    for t in $targets; do
        merged="$work/$t/merged"
        mkdir -p "$merged"
        "$build/fuzz/fuzz_$t" -merge=1 -timeout=60 -rss_limit_mb=2048 "$merged" "$work/$t/corpus" \
            "$work/seeds/$t" >"$work/$t/merge.log" 2>&1
        rm -rf "$root/fuzz/corpus/$t"
        mkdir -p "$root/fuzz/corpus/$t"
        cp "$merged"/* "$root/fuzz/corpus/$t/"
        echo "corpus $t: $(ls "$root/fuzz/corpus/$t" | wc -l) inputs, $(du -sk "$root/fuzz/corpus/$t" | cut -f1) KiB"
    done
fi

echo "fuzz total: findings $total_findings"
[ "$total_findings" = 0 ]
