# 32-bit Windows: Tarnwick.exe as it ships, and its tests where Wine runs 32-bit programs.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(MINGW_TARGET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
