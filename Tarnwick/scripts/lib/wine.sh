# Shell functions for running Tarnwick's Windows programs under Wine in a throwaway prefix.
# Source this file; each function reports failure through its exit status.

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

# Creates a fresh 32-bit prefix under the folder $1 and exports the environment that Wine and the
# tests run in: a Chinese locale (code page 936), HOME in the folder so that nothing reaches the
# user's own files or trash, no debug output and no Mono or Gecko prompts. Wine's services are
# started here, detached from any pipe, so that a reader of a later wine process's output is not
# kept waiting for them.
make_wine_prefix() {
    local root=$1
    export WINEPREFIX="$root/prefix" WINEARCH=win32 WINEDEBUG=-all
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
