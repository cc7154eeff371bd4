#!/usr/bin/env bash
# Times the removal engine against Windows' own routines under Wine and prints the figures: the
# machine, then a line per run and a table of medians. Builds the Windows configuration first when
# needed. Usage: bench.sh [BUILD_DIR]   (relative to Tarnwick/; default build/mingw, the preset's)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/mingw}

bash scripts/install-deps.sh
cmake --preset mingw -B "$build" >/dev/null
cmake --build "$build" --target tarnwick_bench -j2 >/dev/null

echo "Date:    $(date -u '+%Y-%m-%d %H:%M UTC')"
cpu=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n1)
echo "Machine: $(nproc) cores, $cpu, load average $(cut -d' ' -f1-3 /proc/loadavg)"
echo "Wine:    $(wine --version)"
# The program prints through the C runtime in text mode: strip the CR of each line.
bash scripts/with-wine-prefix.sh wine "$build/bench/tarnwick_bench.exe" </dev/null |
    sed -u 's/\r$//'
