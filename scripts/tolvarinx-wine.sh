#!/usr/bin/env bash
# Starts the desktop program Tolvarinx.exe on Linux under Wine.
# Usage: scripts/tolvarinx-wine.sh [image file]
#
# - Builds the x86_64 Windows program (CMake preset mingw64) when it is
#   missing or out of date; needs the packages of scripts/setup.sh.
# - Runs it in a Wine prefix of its own, created on the first start, on a
#   Japanese system (code page 932), or on the system of another locale: the
#   program shows Japanese on a Japanese system and English on any other.
# - The program is copied into the prefix (C:\Tolvarinx), so its settings file
#   Tolvarinx.ini lives there, apart from the build tree.
# - An image file named on the command line is opened at start.
#
# Environment: TOLVARINX_WINE_HOME  the prefix (default ~/.local/share/tolvarinx-wine)
#              TOLVARINX_NO_BUILD=1 use the built program as it is
#              TOLVARINX_WINE_LANG  the locale (default ja_JP.UTF-8; en_US.UTF-8 for English)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build/mingw64"
built="$build/app/Tolvarinx.exe"

if [ $# -gt 1 ]; then
    echo "usage: $0 [image file]" >&2
    exit 2
fi
image=""
if [ $# -eq 1 ]; then
    if [ ! -f "$1" ]; then
        echo "$0: no such file: $1" >&2
        exit 2
    fi
    image="$(realpath "$1")"
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "$0: no display to show the program on (DISPLAY is not set)" >&2
    exit 2
fi

if [ "${TOLVARINX_NO_BUILD:-0}" != "1" ]; then
    if [ ! -f "$build/build.ninja" ]; then
        echo "tolvarinx: configuring the Windows build (build/mingw64)" >&2
        (cd "$root" && cmake --preset mingw64 >/dev/null)
    fi
    # Quick when nothing changed.
    cmake --build "$build" --target Tolvarinx -j "$(nproc 2>/dev/null || echo 2)" >/dev/null
fi
if [ ! -f "$built" ]; then
    echo "$0: $built is missing; build it with: cmake --preset mingw64 && cmake --build --preset mingw64" >&2
    exit 1
fi

WINE=/usr/lib/wine/wine64
[ -x "$WINE" ] || WINE="$(command -v wine64 || command -v wine || true)"
if [ -z "$WINE" ]; then
    echo "$0: Wine is not installed (bash scripts/setup.sh installs it)" >&2
    exit 1
fi
export WINEPREFIX
WINEPREFIX="$(realpath -m "${TOLVARINX_WINE_HOME:-$HOME/.local/share/tolvarinx-wine}")"
export WINEARCH=win64
export WINEDEBUG=-all
# No Mono or Gecko download prompts in a new prefix.
export WINEDLLOVERRIDES="mscoree,mshtml="
# Wine takes the code page and the UI language from this locale: code page 932
# and Japanese from ja_JP.UTF-8.
export LANG="${TOLVARINX_WINE_LANG:-ja_JP.UTF-8}"
export LC_ALL="$LANG"
if ! locale -a 2>/dev/null | grep -qi "^${LANG%%.*}\.utf8$"; then
    echo "tolvarinx: the locale $LANG is not generated; texts may be garbled (bash scripts/setup.sh generates it)" >&2
fi

if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "tolvarinx: creating the Wine prefix $WINEPREFIX (once; takes a while)" >&2
    mkdir -p "$WINEPREFIX"
    "$WINE" wineboot -i </dev/null >/dev/null 2>&1 || true
fi
# Wine draws the caption buttons with the Marlett font; some distributions
# ship it where Wine does not look.
fonts="$WINEPREFIX/drive_c/windows/Fonts"
if [ -f /usr/share/wine/fonts/marlett.ttf ] && [ -d "$fonts" ] && [ ! -f "$fonts/marlett.ttf" ]; then
    cp /usr/share/wine/fonts/marlett.ttf "$fonts/"
fi

home="$WINEPREFIX/drive_c/Tolvarinx"
mkdir -p "$home"
cp -u "$built" "$home/Tolvarinx.exe"

cd "$home"
if [ -n "$image" ]; then
    exec "$WINE" "C:\\Tolvarinx\\Tolvarinx.exe" "$("$WINE" winepath.exe -w "$image" 2>/dev/null | tr -d '\r')"
fi
exec "$WINE" "C:\\Tolvarinx\\Tolvarinx.exe"
