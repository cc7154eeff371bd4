#!/usr/bin/env bash
# Reports Tarnwick.exe's size (goal: at most 80 KiB), its sections and the DLLs it imports (goal:
# only Windows' own, and nothing that keeps it from starting on Windows XP). Builds the 32-bit
# Windows configuration first when needed. With --check, it exits non-zero when a goal is missed.
# Usage: footprint.sh [--check] [BUILD_DIR]
#   BUILD_DIR is relative to Tarnwick/; the default is build/mingw, the preset's.
set -euo pipefail
cd "$(dirname "$0")/.."
check=false
[ "${1:-}" != --check ] || { check=true; shift; }
build=${1:-build/mingw}

bash scripts/install-deps.sh
cmake --preset mingw -B "$build" >/dev/null
cmake --build "$build" --target Tarnwick -j2 >/dev/null
exe="$build/ui/Tarnwick.exe"

# DLLs that every Windows from XP on has in its system folder.
windows_dlls=" advapi32.dll comctl32.dll comdlg32.dll gdi32.dll kernel32.dll msvcrt.dll ntdll.dll
    ole32.dll oleaut32.dll shell32.dll shlwapi.dll user32.dll version.dll "
missed=()

bytes=$(stat -c %s "$exe")
verdict="within"
[ "$bytes" -le 81920 ] || { verdict="over"; missed+=(size); }
tenths=$((bytes * 10 / 1024))
echo "$exe: $bytes bytes ($((tenths / 10)).$((tenths % 10)) KiB), $verdict the 80 KiB goal"
echo "Sections (bytes):"
i686-w64-mingw32-objdump -h "$exe" | while read -r _ name size _; do
    case $name in .*) printf '  %-8s %7d\n' "$name" $((16#$size)) ;; esac
done
echo "Imports:"
for dll in $(i686-w64-mingw32-objdump -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p'); do
    if [[ $windows_dlls == *[[:space:]]${dll,,}[[:space:]]* ]]; then
        echo "  $dll"
    else
        echo "  $dll   (not one of Windows' own DLLs)"
        missed+=(imports)
    fi
done
# Looked up at run time: Windows XP lacks them, and would refuse to start a program importing one.
for name in GetFinalPathNameByHandle SetDefaultDllDirectories CreateBoundaryDescriptor \
    AddSIDToBoundaryDescriptor DeleteBoundaryDescriptor CreatePrivateNamespace \
    OpenPrivateNamespace ClosePrivateNamespace; do
    if i686-w64-mingw32-objdump -p "$exe" | grep -q "$name"; then
        echo "  $name is imported: Windows XP cannot start the program"
        missed+=(xp)
    fi
done
if $check && [ ${#missed[@]} -gt 0 ]; then
    echo "footprint: Tarnwick.exe misses its goals: ${missed[*]}" >&2
    exit 1
fi
