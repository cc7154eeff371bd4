#!/usr/bin/env bash
# Runs the end-to-end driver under Wine in the current prefix (see scripts/with-wine-prefix.sh), its
# lines' CR LF made LF. Given a picture folder, the demo saves PNG pictures of the dialog and boxes there.
# Usage: e2e.sh DRIVER.exe suite|demo TARNWICK.EXE [PICTURE-FOLDER]
set -euo pipefail
driver=$1 mode=$2 tarnwick=$3 pictures=${4:-}

if [ -n "$pictures" ]; then
    mkdir -p "$pictures"
    rm -f "$pictures"/*.png
    pictures=$(realpath "$pictures")
fi
wine "$driver" "$mode" "$(winepath -w "$tarnwick")" ${pictures:+"$pictures"} | tr -d '\r'
