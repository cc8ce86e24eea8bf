# Cross build for 64-bit Windows with mingw-w64 (Debian: g++-mingw-w64-x86-64).
# The shipped program is 32-bit; this twin build of the same sources runs the
# Windows tests on hosts whose kernel cannot start 32-bit processes (no IA-32
# emulation), where Wine's 32-bit loader fails with "Exec format error".
set(KORVANTA_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
include("${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake")

# Debian's /usr/bin/wine always picks the 32-bit loader when wine32 is installed.
find_program(KORVANTA_WINE NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
if(KORVANTA_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR "${KORVANTA_WINE}")
endif()
