# 64-bit Windows: the same sources built to run the tests and the tool where Wine runs no 32-bit
# programs (see scripts/lib/wine.sh). A test vehicle only: nothing of it ships.
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(MINGW_TARGET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
