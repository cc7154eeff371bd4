#!/usr/bin/env bash
# Installs what is needed, builds both configurations and runs every test. Exits non-zero when a
# build or any test fails.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

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

echo "== Windows: 32-bit build, tests under Wine"
cmake --preset mingw >/dev/null
cmake --build --preset mingw -j2
bash scripts/with-wine-prefix.sh ctest --preset mingw
