#!/usr/bin/env bash
# Installs what is needed, builds the native and Windows configurations and runs every test. Exits
# non-zero when a build or any test fails. The Wine tests run in the mode that lib/wine.sh chooses.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
. scripts/lib/wine.sh

echo "== Native: engine against the in-memory machine"
cmake --preset native >/dev/null
cmake --build --preset native -j2
ctest --preset native

echo "== Native under valgrind memcheck"
bash scripts/memcheck.sh build/native

echo "== Native under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake --preset native-asan >/dev/null
cmake --build --preset native-asan -j2
ctest --preset native-asan

echo "== Windows: Tarnwick.exe (32-bit), its size and imports"
bash scripts/footprint.sh --check

echo "== Windows: $TARNWICK_WINE_ARCH build ($TARNWICK_WINE_PRESET), tests under Wine"
cmake --preset "$TARNWICK_WINE_PRESET" >/dev/null
cmake --build --preset "$TARNWICK_WINE_PRESET" -j2
bash scripts/with-wine-prefix.sh ctest --preset "$TARNWICK_WINE_PRESET"
