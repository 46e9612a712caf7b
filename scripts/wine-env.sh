# Sourced by the wine-*.sh scripts: the environment every Wine run of the
# tests shares. Not meant to be run on its own.
#
# TOLVARINX_WINEPREFIX  the Wine prefix (default: ~/.cache/tolvarinx/wineprefix).
#                       CTest passes <build dir>/wineprefix.
# TOLVARINX_WINE_LANG   the locale of the Windows programs (default
#                       ja_JP.UTF-8); en_US.UTF-8 makes an English system.

WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver

export WINEPREFIX
WINEPREFIX="$(realpath -m "${TOLVARINX_WINEPREFIX:-$HOME/.cache/tolvarinx/wineprefix}")"
export WINEARCH=win64
# ja_JP.UTF-8 makes the ANSI code page 932 (Shift-JIS), as on the target
# systems, and the user's UI language Japanese. Each Wine process takes its
# locale from these when it starts.
export LANG="${TOLVARINX_WINE_LANG:-ja_JP.UTF-8}"
export LC_ALL="$LANG"
export WINEDEBUG=-all
# No Mono or Gecko download prompts in a new prefix.
export WINEDLLOVERRIDES="mscoree,mshtml="

# Makes the prefix ready and the Wine server running. Safe when several test
# processes start at once: the first does the work, the others wait for it.
#
# The prefix runs programs in a 1024x768 virtual desktop: without a window
# manager on the X display, Wine would otherwise wait for every top-level
# window to be mapped by one.
#
# The server and the desktop process are started here with their standard
# streams and the lock closed: they outlive this call, and would otherwise
# hold the lock, or a caller's output pipe, for their whole lifetime. The
# server stays up until 30 seconds after its last program has ended.
wine_start() {
    mkdir -p "$(dirname "$WINEPREFIX")"
    (
        flock 9
        if [ ! -f "$WINEPREFIX/.tolvarinx-ready" ]; then
            echo "wine: preparing prefix $WINEPREFIX (takes a while once)" >&2
            "$WINE" wineboot -i </dev/null >/dev/null 2>&1 9>&- || true
            "$WINE" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f </dev/null >/dev/null 2>&1 9>&-
            "$WINE" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f \
                </dev/null >/dev/null 2>&1 9>&-
            # A crashing program ends with its exit code instead of waiting
            # in the debugger, which no one would ever answer here.
            "$WINE" reg delete 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /f \
                </dev/null >/dev/null 2>&1 9>&- || true
            "$WINESERVER" -w 9>&-
            if [ ! -f "$WINEPREFIX/system.reg" ]; then
                echo "wine: could not create the prefix $WINEPREFIX" >&2
                exit 1
            fi
            touch "$WINEPREFIX/.tolvarinx-ready"
        fi
        # Exit code 0: no server was running and this one started it.
        if "$WINESERVER" -p30 </dev/null >/dev/null 2>&1 9>&-; then
            "$WINE" wineboot </dev/null >/dev/null 2>&1 9>&- || true
        fi
    ) 9>"$WINEPREFIX.lock"
}

# Ends every program of the prefix and its server.
wine_stop() {
    "$WINESERVER" -k </dev/null >/dev/null 2>&1 || true
    "$WINESERVER" -w </dev/null >/dev/null 2>&1 || true
}
