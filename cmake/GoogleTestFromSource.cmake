# GoogleTest built from Debian's source package, so the same library serves the
# native, sanitizer and mingw builds.
set(KORVANTA_GTEST_SOURCE_DIR "/usr/src/googletest" CACHE PATH "GoogleTest source tree")

if(NOT TARGET GTest::gtest_main)
    if(NOT EXISTS "${KORVANTA_GTEST_SOURCE_DIR}/CMakeLists.txt")
        message(FATAL_ERROR "GoogleTest sources not found in ${KORVANTA_GTEST_SOURCE_DIR}; "
                            "install Debian's googletest package or set KORVANTA_GTEST_SOURCE_DIR")
    endif()
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    if(WIN32)
        set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
    endif()
    add_subdirectory("${KORVANTA_GTEST_SOURCE_DIR}" "${CMAKE_BINARY_DIR}/_deps/googletest"
                     EXCLUDE_FROM_ALL SYSTEM)
    # GoogleTest 1.11 and later define the namespaced names themselves.
    if(NOT TARGET GTest::gtest_main)
        add_library(GTest::gtest_main ALIAS gtest_main)
    endif()
endif()

include(GoogleTest)
