// Shared by the fuzz targets: a check that aborts (so libFuzzer keeps the
// input), and where their scratch files go.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#define CHECK(cond)                                                                     \
    do {                                                                                \
        if (!(cond)) {                                                                  \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
            std::abort();                                                               \
        }                                                                               \
    } while (0)

// $KORVANTA_FUZZ_SCRATCH (the run script's), else memory-backed /dev/shm,
// else /tmp.
inline std::string ScratchBase()
{
    const char* chosen = std::getenv("KORVANTA_FUZZ_SCRATCH");
    if (chosen != nullptr && chosen[0] != '\0') {
        return chosen;
    }
    return access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
}
