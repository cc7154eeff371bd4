#!/usr/bin/env bash
# Runs the end-to-end driver under Wine in the current prefix (see scripts/with-wine-prefix.sh), its
# lines' CR LF made LF: first in the prefix's locale (code page 936), then its single-byte scenario
# in a Wine started with the C.UTF-8 locale (code page 1252). Wine takes the code page from the Unix
# locale of the process it starts, and the Tarnwick that the driver starts inherits it. Fails when
# either run does.
# Usage: e2e.sh DRIVER.exe TARNWICK.EXE
set -uo pipefail
driver=$1
tarnwick=$(winepath -w "$2")

status=0
wine "$driver" "$tarnwick" | tr -d '\r' || status=1
LC_ALL=C.UTF-8 wine "$driver" "$tarnwick" single-byte | tr -d '\r' || status=1
exit $status
