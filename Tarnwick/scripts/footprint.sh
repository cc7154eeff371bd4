#!/usr/bin/env bash
# Reports Tarnwick.exe's size (goal: at most 64 KiB), its sections and the DLLs it imports. Builds
# the Windows configuration first when needed.
# Usage: footprint.sh [BUILD_DIR]   (relative to Tarnwick/; default build/mingw, the preset's)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/mingw}

bash scripts/install-deps.sh
cmake --preset mingw -B "$build" >/dev/null
cmake --build "$build" --target Tarnwick -j2 >/dev/null
exe="$build/ui/Tarnwick.exe"

bytes=$(stat -c %s "$exe")
verdict="within"
[ "$bytes" -le 65536 ] || verdict="over"
tenths=$((bytes * 10 / 1024))
echo "$exe: $bytes bytes ($((tenths / 10)).$((tenths % 10)) KiB), $verdict the 64 KiB goal"
echo "Sections (bytes):"
i686-w64-mingw32-objdump -h "$exe" | while read -r _ name size _; do
    case $name in .*) printf '  %-8s %7d\n' "$name" $((16#$size)) ;; esac
done
echo "Imports:"
i686-w64-mingw32-objdump -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: /  /p'
