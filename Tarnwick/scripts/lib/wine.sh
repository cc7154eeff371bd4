# Shell functions for running Tarnwick's Windows programs under Wine in a throwaway prefix.
# Source this file (after install-deps.sh); each function reports failure through its exit status.
#
# Sourcing it also chooses, once per run, how Wine runs the tests and the tool here, and exports the
# choice to the scripts started from then on:
# - where 32-bit Linux programs run (Wine's 32-bit server starts): the 32-bit build (preset mingw)
#   in a 32-bit prefix, through Debian's wine commands;
# - where they don't, or when TARNWICK_WINE_ARCH=win64 forces it: the same sources built for 64-bit
#   Windows (preset mingw64) in a 64-bit prefix, through Wine's 64-bit loader and server.
# TARNWICK_WINE_PRESET names the preset; TARNWICK_WINE_BUILD its build folder, relative to Tarnwick/.
if [ -z "${TARNWICK_WINE_PRESET:-}" ]; then
    case ${TARNWICK_WINE_ARCH:-} in
        win64) reason="forced by TARNWICK_WINE_ARCH=win64" ;;
        "") if /usr/lib/wine/wineserver32 -h >/dev/null 2>&1; then
                TARNWICK_WINE_ARCH=win32 reason="this machine runs 32-bit Linux programs"
            else
                TARNWICK_WINE_ARCH=win64 reason="this machine runs no 32-bit Linux programs"
            fi ;;
        *) echo "TARNWICK_WINE_ARCH may be win64 or unset, not '$TARNWICK_WINE_ARCH'" >&2; return 1 ;;
    esac
    echo "== Wine: ${TARNWICK_WINE_ARCH#win}-bit build and prefix ($reason)"
    export TARNWICK_WINE_ARCH WINEARCH=$TARNWICK_WINE_ARCH
    if [ "$TARNWICK_WINE_ARCH" = win32 ]; then
        export TARNWICK_WINE_PRESET=mingw
    else
        export TARNWICK_WINE_PRESET=mingw64
        wine_lib=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
        bash "$wine_lib/../install-deps.sh" win64
        # Debian's wine commands pick the 32-bit loader whenever it is installed, even where it
        # cannot run: wrappers first on PATH (wine, and wine-stable that winepath, wineboot and
        # Debian's other wine commands start) and Wine's own variables name the 64-bit ones.
        export PATH="$wine_lib/wine64:$PATH"
        export WINELOADER=/usr/lib/wine/wine64 WINESERVER=/usr/lib/wine/wineserver64
    fi
    export TARNWICK_WINE_BUILD=build/$TARNWICK_WINE_PRESET
fi

# Starts a private Xvfb display and exports DISPLAY; XVFB_PID names the server.
start_private_display() {
    local number=90
    while [ -e "/tmp/.X11-unix/X$number" ] || [ -e "/tmp/.X$number-lock" ]; do
        number=$((number + 1))
    done
    Xvfb ":$number" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    XVFB_PID=$!
    export DISPLAY=":$number"
    local tries=0
    until [ -e "/tmp/.X11-unix/X$number" ]; do
        tries=$((tries + 1))
        [ $tries -lt 100 ] || return 1
        sleep 0.1
    done
}

# Creates a fresh prefix (of the chosen architecture) under the folder $1 and exports the environment that Wine and the
# tests run in: a Chinese locale (code page 936), HOME in the folder so that nothing reaches the
# user's own files or trash, no debug output and no Mono or Gecko prompts. Wine's services are
# started here, detached from any pipe, so that a reader of a later wine process's output is not
# kept waiting for them.
make_wine_prefix() {
    local root=$1
    export WINEPREFIX="$root/prefix" WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml="
    export HOME="$root/home" XDG_DATA_HOME="$root/home/.local/share"
    export LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8
    mkdir -p "$HOME" "$WINEPREFIX"
    wineserver -p </dev/null >/dev/null 2>&1
    wineboot -i </dev/null >/dev/null 2>&1
    # Debian's Wine does not find its own Marlett font and draws the caption buttons as letters.
    cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
    # Without a window manager Wine waits for every closed window unless it manages none.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f \
        </dev/null >/dev/null 2>&1
    wine cmd /c exit </dev/null >/dev/null 2>&1
}

# Stops the prefix's Wine processes and the private display, if any.
end_wine() {
    wineserver -k >/dev/null 2>&1 || true
    if [ -n "${XVFB_PID:-}" ]; then
        kill "$XVFB_PID" 2>/dev/null || true
        wait "$XVFB_PID" 2>/dev/null || true
    fi
}
