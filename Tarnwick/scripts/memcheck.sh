#!/usr/bin/env bash
# Runs every native test program of a build under valgrind memcheck: no invalid access, no use of
# uninitialised memory, no leak. Exits non-zero on the first program with an error or a failing test.
#
#   bash scripts/memcheck.sh [BUILD_DIR]     (default build/native, relative to Tarnwick/)
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build/native}

mapfile -t programs < <(find "$build/tests" -type f -executable -name 'tarnwick_*_tests' | sort)
if [ ${#programs[@]} -eq 0 ]; then
    echo "memcheck: no test programs in $build/tests (build the native preset first)" >&2
    exit 1
fi
for program in "${programs[@]}"; do
    echo "-- memcheck $program"
    valgrind --tool=memcheck --quiet --error-exitcode=99 \
        --leak-check=full --show-leak-kinds=definite,indirect,possible \
        --errors-for-leak-kinds=definite,indirect,possible \
        "$program" --gtest_brief=1
done
