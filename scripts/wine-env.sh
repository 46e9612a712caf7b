# Sourced by the wine-*.sh scripts: the environment every Wine run of the
# tests shares. Not meant to be run on its own.
#
# TOLVARINX_WINEPREFIX  the Wine prefix (default: ~/.cache/tolvarinx/wineprefix).
#                       CTest passes <build dir>/wineprefix.

WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver

export WINEPREFIX
WINEPREFIX="$(realpath -m "${TOLVARINX_WINEPREFIX:-$HOME/.cache/tolvarinx/wineprefix}")"
export WINEARCH=win64
# ja_JP.UTF-8 makes the ANSI code page 932 (Shift-JIS), as on the target systems.
export LANG=ja_JP.UTF-8
export LC_ALL=ja_JP.UTF-8
export WINEDEBUG=-all
# No Mono or Gecko download prompts in a new prefix.
export WINEDLLOVERRIDES="mscoree,mshtml="

# Creates the prefix when it is not ready yet. Safe when several test
# processes start at once: the first creates it, the others wait for it.
# The prefix runs programs in a 1024x768 virtual desktop: without a window
# manager on the X display, Wine would otherwise wait for every top-level
# window to be mapped by one.
wine_ensure_prefix() {
    mkdir -p "$(dirname "$WINEPREFIX")"
    (
        flock 9
        if [ ! -f "$WINEPREFIX/.tolvarinx-ready" ]; then
            echo "wine: preparing prefix $WINEPREFIX (takes a while once)" >&2
            "$WINE" wineboot -i >/dev/null 2>&1 || true
            "$WINE" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
            "$WINE" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1
            "$WINESERVER" -w
            if [ ! -f "$WINEPREFIX/system.reg" ]; then
                echo "wine: could not create the prefix $WINEPREFIX" >&2
                exit 1
            fi
            touch "$WINEPREFIX/.tolvarinx-ready"
        fi
    ) 9>"$WINEPREFIX.lock"
}
