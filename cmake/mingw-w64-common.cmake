# Shared part of the mingw-w64 toolchain files; the including file sets
# KORVANTA_MINGW_PREFIX (i686-w64-mingw32 or x86_64-w64-mingw32) and
# CMAKE_SYSTEM_PROCESSOR.
set(CMAKE_SYSTEM_NAME Windows)

# The posix thread flavour: GoogleTest needs std::mutex, which the win32 flavour lacks.
find_program(CMAKE_C_COMPILER NAMES ${KORVANTA_MINGW_PREFIX}-gcc-posix)
find_program(CMAKE_CXX_COMPILER NAMES ${KORVANTA_MINGW_PREFIX}-g++-posix)
find_program(CMAKE_RC_COMPILER NAMES ${KORVANTA_MINGW_PREFIX}-windres)
if(NOT CMAKE_C_COMPILER OR NOT CMAKE_CXX_COMPILER OR NOT CMAKE_RC_COMPILER)
    message(FATAL_ERROR "${KORVANTA_MINGW_PREFIX} compilers or windres not found; install "
                        "Debian's g++-mingw-w64 packages and mingw-w64-tools")
endif()

set(CMAKE_FIND_ROOT_PATH /usr/${KORVANTA_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Standalone executables: the C and C++ runtimes (and winpthread) are linked in.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
