#!/usr/bin/env bash
# Runs the end-to-end driver under Wine in the current prefix (see scripts/with-wine-prefix.sh), its
# lines' CR LF made LF.
# Usage: e2e.sh DRIVER.exe TARNWICK.EXE
set -euo pipefail
driver=$1 tarnwick=$2

wine "$driver" "$(winepath -w "$tarnwick")" | tr -d '\r'
