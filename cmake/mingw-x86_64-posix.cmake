# Cross-build for 64-bit Windows. The shipped program is the 32-bit build;
# this one runs the tests under 64-bit Wine on machines whose kernel runs no
# 32-bit code.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(KORVANE_MINGW_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-posix-common.cmake)
# Debian's wine wrapper starts the 32-bit loader whenever it is installed,
# even where it cannot run, so the 64-bit loader is named directly.
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
