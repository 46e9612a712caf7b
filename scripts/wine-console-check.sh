#!/usr/bin/env bash
# Checks that the Windows console converter, run under Wine, writes the same
# PNG files as the Linux build, byte for byte, and prints the same report in
# Shift-JIS. Run under an X display (scripts/wine-test.sh runs it from CTest).
# Usage: wine-console-check.sh <tolvarinxc.exe> <Linux tolvarinxc> <work folder> <input files...>
# Exit codes: 0 same, 1 different, 77 the Linux program is missing (skipped).
set -uo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
windows_exe="$1"
linux_exe="$2"
work="$3"
shift 3

if [ ! -x "$linux_exe" ]; then
    echo "skipped: no Linux tolvarinxc at $linux_exe (build the native preset first)"
    exit 77
fi

status=0
fail() {
    echo "FAIL: $*"
    status=1
}

# The report as the Linux program prints it (UTF-8) from the Windows one
# (Shift-JIS with CR LF line ends).
as_linux_text() {
    iconv -f CP932 -t UTF-8 "$1" | tr -d '\r'
}

# run_sides FOLDER NAME ARGUMENTS...: both builds, each in $work/<side>/FOLDER,
# their reports in $work/NAME.<side>.txt; their exit codes must agree. Both
# speak Japanese, or English with language=en.
language=ja
run_sides() {
    local folder="$1" name="$2" wine_lang=ja_JP.UTF-8
    shift 2
    [ "$language" = ja ] || wine_lang=en_US.UTF-8
    (cd "$work/linux/$folder" && LANGUAGE="$language" "$linux_exe" "$@" >"$work/$name.linux.txt" 2>&1)
    local linux_status=$?
    (cd "$work/windows/$folder" && TOLVARINX_WINE_LANG="$wine_lang" "$here/wine-run.sh" "$windows_exe" "$@" \
        >"$work/$name.windows.txt" 2>/dev/null)
    local windows_status=$?
    [ "$linux_status" = "$windows_status" ] || fail "$name: exit code $windows_status under Wine, $linux_status on Linux"
}

run_both() {  # name, arguments... (run in $work/linux and $work/windows)
    local name="$1"
    run_sides . "$@"
    if ! as_linux_text "$work/$name.windows.txt" | cmp -s - "$work/$name.linux.txt"; then
        fail "$name: the reports differ"
        diff <(as_linux_text "$work/$name.windows.txt") "$work/$name.linux.txt" | head -20
    fi
}

rm -rf "$work"
mkdir -p "$work/linux" "$work/windows"

for input in "$@"; do
    name="$(basename "$input")"
    extension="${name##*.}"
    for side in linux windows; do
        cp "$input" "$work/$side/in.$extension"
    done
    run_both "$name" -i "in.$extension" -o out.png
    if [ ! -f "$work/linux/out.png" ]; then
        fail "$name: the Linux build wrote no out.png"
    elif ! cmp -s "$work/linux/out.png" "$work/windows/out.png"; then
        fail "$name: out.png differs between Wine and Linux"
    else
        echo "same: $name -> $(stat -c %s "$work/linux/out.png") bytes"
    fi
    rm -f "$work/linux/out.png" "$work/windows/out.png"

    # The same input on standard input, the PNG on standard output: binary
    # streams on Windows, so the bytes match the Linux pipe's.
    (cd "$work/linux" && "$linux_exe" -i - <"in.$extension" >pipe.png 2>/dev/null)
    linux_status=$?
    (cd "$work/windows" && TOLVARINX_WINE_STDIN="in.$extension" "$here/wine-run.sh" "$windows_exe" -i - \
        >pipe.png 2>/dev/null)
    windows_status=$?
    if [ "$linux_status" != 0 ] || [ "$windows_status" != 0 ]; then
        fail "$name on a pipe: exit code $windows_status under Wine, $linux_status on Linux"
    elif ! cmp -s "$work/linux/pipe.png" "$work/windows/pipe.png"; then
        fail "$name on a pipe: the PNG on standard output differs between Wine and Linux"
    else
        echo "same on a pipe: $name -> $(stat -c %s "$work/linux/pipe.png") bytes"
    fi
    rm -f "$work/linux/pipe.png" "$work/windows/pipe.png"
done

# Names in and outside code page 932 over every way a name reaches the
# program: -i/-o, files as arguments, -d -r into another folder. The outputs
# must be the Linux build's byte for byte, --json must carry the same UTF-8
# names, and the text report shows each character the code page lacks as
# its stand-in (the table's second column) and every other one as itself.
names=("café" "图片" "사진" "🎨" "日本語")
shown=("caf<U+00E9>" "<U+56FE>片" "<U+C0AC><U+C9C4>" "<U+1F3A8>" "日本語")
as_shown() {  # the Linux report with the names as the code page shows them
    local text
    text="$(cat "$1")"
    for i in "${!names[@]}"; do
        text="${text//${names[$i]}/${shown[$i]}}"
    done
    printf '%s\n' "$text"
}
run_named() {  # name, arguments...: both builds in $work/<side>/names
    run_sides names "$@"
}
for side in linux windows; do
    mkdir -p "$work/$side/names/in/sub"
    for name in "${names[@]}"; do
        cp "$1" "$work/$side/names/$name.bmp"
        cp "$1" "$work/$side/names/in/$name.bmp"
        mkdir -p "$work/$side/names/in/sub/$name"
        cp "${@: -1}" "$work/$side/names/in/sub/$name/$name.gif"
    done
done
for i in "${!names[@]}"; do
    name="${names[$i]}"
    run_named "name-$i" -i "$name.bmp" -o "$name-out.png"
    if ! as_shown "$work/name-$i.linux.txt" | cmp -s - <(as_linux_text "$work/name-$i.windows.txt"); then
        fail "-i $name: the reports differ"
        diff <(as_shown "$work/name-$i.linux.txt") <(as_linux_text "$work/name-$i.windows.txt") | head -10
    fi
done
run_named names-list -f "${names[@]/%/.bmp}"
run_named names-folder -d in -r -od "out-$(printf '%s' "${names[@]}")"
run_named names-json --json -d in -r -od json
for run in names-list names-folder; do
    # The folder run's names below the root use each system's separator.
    if ! as_shown "$work/$run.linux.txt" | sort | cmp -s - <(as_linux_text "$work/$run.windows.txt" | tr '\\' / | sort); then
        fail "$run: the reports differ"
        diff <(as_shown "$work/$run.linux.txt" | sort) <(as_linux_text "$work/$run.windows.txt" | tr '\\' / | sort) | head -10
    fi
done
if ! sort "$work/names-json.linux.txt" | cmp -s - <(tr -d '\r' <"$work/names-json.windows.txt" | sed 's|\\\\|/|g' | sort); then
    fail "--json: the names or results differ"
    diff <(sort "$work/names-json.linux.txt") <(tr -d '\r' <"$work/names-json.windows.txt" | sed 's|\\\\|/|g' | sort) | head -10
fi
outputs="$(cd "$work/linux/names" && find . -name '*.png' | sort)"
[ "$(printf '%s\n' "$outputs" | wc -l)" -eq 30 ] || fail "names: the Linux build wrote $(printf '%s\n' "$outputs" | wc -l) PNGs, not 30"
[ "$outputs" = "$(cd "$work/windows/names" && find . -name '*.png' | sort)" ] || fail "names: the output trees differ"
while IFS= read -r file; do
    cmp -s "$work/linux/names/$file" "$work/windows/names/$file" || fail "names: $file differs between Wine and Linux"
done <<<"$outputs"
echo "names: $(printf '%s\n' "$outputs" | wc -l) outputs under names in and outside the code page compared"

# A Japanese message: it must reach the console in Shift-JIS.
run_both missing -i "ない.bmp"
expected="$(printf '%s' 'が存在しません' | iconv -f UTF-8 -t CP932)"
if ! grep -qF "$expected" "$work/missing.windows.txt"; then
    fail "missing input: no Shift-JIS message under Wine"
fi
if grep -qF 'が存在しません' "$work/missing.windows.txt"; then
    fail "missing input: the message came out in UTF-8 under Wine"
fi

# An English system: the same reports in English, nothing left in Japanese.
language=en
run_both english-report -n -i in.bmp -o english.png
run_both english-missing -i missing.bmp
run_both english-list -n -j 1 in.bmp in.png missing.gif
for run in english-report english-missing english-list; do
    if LC_ALL=C grep -q $'[\x80-\xff]' "$work/$run.windows.txt"; then
        fail "$run: not English under an English Wine"
    fi
done

exit $status
