#!/usr/bin/env bash
# Takes the README's screenshots of the desktop program: the main window with
# the bundled sample picture, the output dialog after a test run, the
# open-file dialog with its preview, and the colour picker; with them the
# Options menu, the About box and the folder conversion's dialogs. The program runs
# under Wine on a virtual X display; tolvarinx_screenshots (tests/desktop_e2e)
# puts it into each state and names the screen rectangle, and this script
# takes the picture from the X display with ImageMagick's import.
# Usage: bash scripts/screenshots.sh [output folder]   (default docs/screenshots)
# Builds the mingw64 preset first when needed.
# Environment: TOLVARINX_MINGW64_BUILD uses another, already configured x86_64
# build directory; TOLVARINX_WINEPREFIX another Wine prefix than the tests'
# one, <build dir>/wineprefix; TOLVARINX_WINE_LANG=en_US.UTF-8 takes them on
# an English system (scripts/wine-env.sh).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
out="$(realpath -m "${1:-$root/docs/screenshots}")"
build="$(realpath -m "${TOLVARINX_MINGW64_BUILD:-$root/build/mingw64}")"

if [ ! -f "$build/build.ninja" ]; then
    (cd "$root" && cmake --preset mingw64 >/dev/null)
fi
cmake --build "$build" --target Tolvarinx tolvarinx_screenshots -j "$(nproc 2>/dev/null || echo 2)"

mkdir -p "$out"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/program" "$work/exchange"

export TOLVARINX_WINEPREFIX="${TOLVARINX_WINEPREFIX:-$build/wineprefix}"
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
    set -euo pipefail
    . "$1/scripts/wine-env.sh"
    build="$2"; work="$3"; out="$4"
    wine_start
    # Caption buttons need the Marlett font, which this Wine does not look
    # for where its package puts it.
    if [ -f /usr/share/wine/fonts/marlett.ttf ]; then
        cp -u /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
    fi
    windows() { "$WINE" winepath.exe -w "$1" 2>/dev/null | tr -d "\r"; }
    # The picture sits in a folder of its own, which the open-file dialog shows.
    mkdir -p "$WINEPREFIX/drive_c/Pictures"
    cp "$1/samples/sample.bmp" "$WINEPREFIX/drive_c/Pictures/sample.bmp"
    "$WINE" "$build/tests/desktop_e2e/tolvarinx_screenshots.exe" \
        "$(windows "$build/app/Tolvarinx.exe")" "$(windows "$work/program")" \
        "C:\\Pictures\\sample.bmp" "$(windows "$work/exchange")" &
    driver=$!
    # Answer each request <name>.rect ("left top width height") with a
    # picture of that part of the screen, then <name>.done.
    while kill -0 "$driver" 2>/dev/null; do
        for request in "$work"/exchange/*.rect; do
            [ -e "$request" ] || continue
            name="$(basename "$request" .rect)"
            read -r left top width height < "$request"
            /usr/bin/import -window root -crop "${width}x${height}+${left}+${top}" +repage \
                "$out/$name.png"
            mv "$request" "$work/exchange/$name.done"
            echo "screenshots: $out/$name.png"
        done
        sleep 0.2
    done
    status=0
    wait "$driver" || status=$?
    wine_stop
    exit $status
' screenshots "$root" "$build" "$work" "$out"
