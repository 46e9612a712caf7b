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

run_both() {  # name, arguments... (run in $work/linux and $work/windows)
    local name="$1"
    shift
    (cd "$work/linux" && "$linux_exe" "$@" >"../$name.linux.txt" 2>&1)
    local linux_status=$?
    (cd "$work/windows" && "$here/wine-run.sh" "$windows_exe" "$@" >"../$name.windows.txt" 2>/dev/null)
    local windows_status=$?
    if [ "$linux_status" != "$windows_status" ]; then
        fail "$name: exit code $windows_status under Wine, $linux_status on Linux"
    fi
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

# A Japanese message: it must reach the console in Shift-JIS.
run_both missing -i "ない.bmp"
expected="$(printf '%s' 'が存在しません' | iconv -f UTF-8 -t CP932)"
if ! grep -qF "$expected" "$work/missing.windows.txt"; then
    fail "missing input: no Shift-JIS message under Wine"
fi
if grep -qF 'が存在しません' "$work/missing.windows.txt"; then
    fail "missing input: the message came out in UTF-8 under Wine"
fi

exit $status
