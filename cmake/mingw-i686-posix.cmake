# Cross-build for 32-bit Windows: the program that ships.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(KORVANE_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-posix-common.cmake)
# Windows test binaries run under Wine; tests/ sets WINEPREFIX per test.
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine)
