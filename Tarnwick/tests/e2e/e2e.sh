#!/usr/bin/env bash
# Runs the end-to-end driver under Wine in the current prefix (see scripts/with-wine-prefix.sh)
# and turns the pictures it saves into PNG files.
# Usage: e2e.sh DRIVER.exe suite|demo TARNWICK.exe [PICTURE-FOLDER]
set -euo pipefail
driver=$1 mode=$2 tarnwick=$3 pictures=${4:-}

arguments=("$mode" "$(winepath -w "$tarnwick")")
if [ -n "$pictures" ]; then
    mkdir -p "$pictures"
    rm -f "$pictures"/*.bmp "$pictures"/*.png
    arguments+=("$(winepath -w "$pictures")")
fi

status=0
wine "$driver" "${arguments[@]}" || status=$?

if [ -n "$pictures" ]; then
    for bmp in "$pictures"/*.bmp; do
        [ -e "$bmp" ] || continue
        convert "$bmp" "${bmp%.bmp}.png" && rm "$bmp"
    done
fi
exit $status
