#!/usr/bin/env bash
# Times the removal engine against Windows' own routines under Wine and prints the figures: the
# machine, then a line per run and a table of medians. Builds the Windows configuration first when
# needed: the one that Wine runs here (see lib/wine.sh).
# Usage: bench.sh [BUILD_DIR]   (relative to Tarnwick/; default the preset's, build/mingw or build/mingw64)
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
. scripts/lib/wine.sh
build=${1:-$TARNWICK_WINE_BUILD}
cmake --preset "$TARNWICK_WINE_PRESET" -B "$build" >/dev/null
cmake --build "$build" --target tarnwick_bench -j2 >/dev/null

echo "Date:    $(date -u '+%Y-%m-%d %H:%M UTC')"
cpu=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n1)
echo "Machine: $(nproc) cores, $cpu, load average $(cut -d' ' -f1-3 /proc/loadavg)"
echo "Wine:    $(wine --version)"
# The program prints through the C runtime in text mode: strip the CR of each line.
bash scripts/with-wine-prefix.sh wine "$build/bench/tarnwick_bench.exe" </dev/null |
    sed -u 's/\r$//'
