#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Tarnwick need, and the Chinese
# locale that Wine needs for code page 936. Does nothing when all of it is already there.
# Usage: install-deps.sh [win64]   (win64: also the 64-bit Windows build and Wine, which
# lib/wine.sh asks for where Wine runs no 32-bit programs)
set -euo pipefail

packages=(
    cmake make g++ googletest                 # native build and unit tests
    g++-mingw-w64-i686 binutils-mingw-w64-i686  # the 32-bit Windows program
    wine wine32:i386                          # running it
    fonts-wine                                # Wine's own fonts (Marlett draws caption buttons)
    xvfb imagemagick                          # a display for GUI runs, and pictures of it
    x11-utils                                 # xdpyinfo: whether a display is reachable
    locales fonts-wqy-microhei                # Chinese text under Wine
    valgrind                                  # leak checks of the native tests
)
if [ "${1:-}" = win64 ]; then
    packages+=(g++-mingw-w64-x86-64-posix wine64)
fi

if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
fi

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
        missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
fi

if ! locale -a 2>/dev/null | grep -qix 'zh_CN.utf8'; then
    sed -i 's/^# *zh_CN.UTF-8/zh_CN.UTF-8/' /etc/locale.gen
    locale-gen >/dev/null
fi
