# Cross build for 32-bit Windows with mingw-w64 (Debian: g++-mingw-w64-i686).
# Usable on its own: cmake -DCMAKE_TOOLCHAIN_FILE=cmake/i686-w64-mingw32.cmake ...
set(KORVANTA_MINGW_PREFIX i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86)
include("${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake")

# Tests run under Wine's 32-bit loader where the host kernel can start 32-bit processes.
find_program(KORVANTA_WINE NAMES wine)
if(KORVANTA_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR "${KORVANTA_WINE}")
endif()
