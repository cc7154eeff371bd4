#!/usr/bin/env bash
# Runs the end-to-end driver under Wine in the current prefix (see scripts/with-wine-prefix.sh), its
# lines' CR LF made LF: first in the prefix's locale (code page 936), then its single-byte scenario
# in a Wine started with the C.UTF-8 locale (code page 1252). Wine takes the code page from the Unix
# locale of the process it starts, and the Tarnwick that the driver starts inherits it. In a 64-bit
# prefix, where Wine runs 32-bit programs here, its scenario of both registry views runs once more
# with the 32-bit product as it ships (built by scripts/footprint.sh). Fails when any run does.
# Usage: e2e.sh DRIVER.exe TARNWICK.EXE
set -uo pipefail
driver=$1
tarnwick=$(winepath -w "$2")

status=0
wine "$driver" "$tarnwick" | tr -d '\r' || status=1
LC_ALL=C.UTF-8 wine "$driver" "$tarnwick" single-byte | tr -d '\r' || status=1
product=$(dirname "$0")/../../build/mingw/ui/Tarnwick.exe
if [ "${TARNWICK_WINE_ARCH:-}" = win64 ] && [ -f "$product" ] &&
    /usr/lib/wine/wineserver32 -h >/dev/null 2>&1; then
    wine "$driver" "$(winepath -w "$product")" views | tr -d '\r' || status=1
fi
exit $status
