# Cross build for 32-bit Windows with mingw-w64 (Debian: g++-mingw-w64-i686).
# Usable on its own: cmake -DCMAKE_TOOLCHAIN_FILE=cmake/i686-w64-mingw32.cmake ...
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(KORVANTA_MINGW_PREFIX i686-w64-mingw32)

# The posix thread flavour: GoogleTest needs std::mutex, which the win32 flavour lacks.
find_program(CMAKE_C_COMPILER NAMES ${KORVANTA_MINGW_PREFIX}-gcc-posix)
find_program(CMAKE_CXX_COMPILER NAMES ${KORVANTA_MINGW_PREFIX}-g++-posix)
find_program(CMAKE_RC_COMPILER NAMES ${KORVANTA_MINGW_PREFIX}-windres)
if(NOT CMAKE_C_COMPILER OR NOT CMAKE_CXX_COMPILER OR NOT CMAKE_RC_COMPILER)
    message(FATAL_ERROR "mingw-w64 i686 compilers or windres not found; "
                        "install Debian's g++-mingw-w64-i686 and mingw-w64-tools")
endif()

set(CMAKE_FIND_ROOT_PATH /usr/${KORVANTA_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Standalone executables: the C and C++ runtimes (and winpthread) are linked in.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

find_program(KORVANTA_WINE NAMES wine)
if(KORVANTA_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR "${KORVANTA_WINE}")
endif()
