# Windows programs with MinGW-w64, for the target that MINGW_TARGET names (set by mingw-i686.cmake
# or mingw-x86_64.cmake), with the posix thread-model compilers that Debian has for both targets.
# Every program links statically, so it needs no runtime DLL beyond Windows'.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${MINGW_TARGET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MINGW_TARGET}-g++-posix)
set(CMAKE_RC_COMPILER ${MINGW_TARGET}-windres)
# The archiver and indexer that know the compiler's link-time optimization objects.
set(CMAKE_AR /usr/bin/${MINGW_TARGET}-gcc-ar-posix)
set(CMAKE_RANLIB /usr/bin/${MINGW_TARGET}-gcc-ranlib-posix)

set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TARGET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# ctest runs the programs under Wine, in the prefix that WINEPREFIX names: the wine that
# scripts/lib/wine.sh puts first on PATH for the chosen mode.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
