#!/usr/bin/env bash
# Runs Tarnwick as a user would: installs what is needed, builds Tarnwick.exe, and starts it under
# Wine in a throwaway prefix where the controls are installed (their seven registrations, their
# files in both folders, conflict folders) beside unrelated keys and files. With a reachable
# display the dialog opens there for you to use; without one, the run opens it on a private
# display in a Wine virtual desktop, presses Uninstall itself and saves pictures of the dialog and
# of each message box. Either way it prints what was removed and what stayed. Where Wine runs no
# 32-bit programs, the one it starts is the 64-bit build of the same sources (see lib/wine.sh).
# demo/Demo.cpp installs the controls, works the dialog and lists the outcome.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
. scripts/lib/wine.sh
# Tarnwick.exe as it ships, in either mode.
cmake --preset mingw >/dev/null
cmake --build --preset mingw -j2 --target Tarnwick
# Tarnwick.exe as Wine runs it here, and the program that prepares the machine and works the dialog.
cmake --preset "$TARNWICK_WINE_PRESET" >/dev/null
cmake --build --preset "$TARNWICK_WINE_PRESET" -j2 --target Tarnwick tarnwick_demo

root=$(mktemp -d /tmp/tarnwick-run.XXXXXX)
trap 'end_wine; rm -rf "$root"' EXIT

build=$PWD/$TARNWICK_WINE_BUILD
demo=$build/demo/tarnwick_demo.exe
tarnwick=$build/ui/Tarnwick.exe

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    echo "== Preparing a Wine prefix with the controls installed"
    make_wine_prefix "$root"
    # Let the desktop's window manager frame the dialog.
    wine reg delete 'HKCU\Software\Wine\X11 Driver' /v Managed /f </dev/null >/dev/null 2>&1
    echo "== Starting Tarnwick on $DISPLAY"
    wine "$demo" "$(winepath -w "$tarnwick")" | tr -d '\r'
else
    echo "== No display: Tarnwick runs on a private one, in a Wine virtual desktop"
    start_private_display
    make_wine_prefix "$root"
    wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Tarnwick /f \
        </dev/null >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Tarnwick /d 640x400 /f \
        </dev/null >/dev/null 2>&1
    pictures=$build/run-pictures
    mkdir -p "$pictures"
    rm -f "$pictures"/*.png
    wine "$demo" "$(winepath -w "$tarnwick")" "$pictures" | tr -d '\r'
    # The pictures show the whole display: keep the desktop.
    mogrify -crop 640x400+0+0 +repage "$pictures"/*.png
    echo "Pictures of the dialog, the notice and the outcome:"
    ls -1 "$pictures"/*.png
fi
