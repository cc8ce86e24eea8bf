// Synthetic flash images of the three board variants, for the tests, the fuzz
// seeds and the bundled samples. Nothing of a real firmware is in them: every
// payload byte is a pattern in 0x40..0x7F, which no identifier word starts with,
// so the only identifiers in an image are its block headers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "board_catalogue.h"

constexpr int SAMPLE_MAX_BLOCKS = 8;
constexpr int SAMPLE_MAX_CHANGES = 8;
constexpr uint64_t SAMPLE_NO_TRUNCATION = UINT64_MAX;

// One placed block of a sample image.
struct SampleBlock {
    const char* name;
    BlockId id;
    uint64_t offset;
    uint32_t extent;   // as written in the header (after any override)
    const char* version;
    const char* date;
    bool present;      // false when omitted
};

struct SampleExtentOverride {
    int index;         // catalogue index
    uint32_t extent;
};

struct SampleOptions {
    BoardModel model;
    uint64_t size;                     // bytes; a multiple of 1024, at least 8 KiB
    int omitCount;
    int omit[SAMPLE_MAX_CHANGES];      // catalogue indexes left out
    int extentCount;
    SampleExtentOverride extents[SAMPLE_MAX_CHANGES];
    int duplicate;                     // catalogue index whose header is copied again near
                                       // the end (a later match), or -1
    int variantByte;                   // 0..255 written at the main-code variant field, or
                                       // -1 for the model's own
    uint64_t truncateAt;               // cut the image to this many bytes
};

// Defaults for a model: its usual flash size (2 MiB for the ALI-3329B, 4 MiB
// for the others), nothing omitted or changed.
SampleOptions DefaultSampleOptions(BoardModel model);

// Where each catalogue block goes. Returns the number of blocks (the model's
// catalogue size), or 0 when the options are unusable.
int PlanSampleImage(const SampleOptions& options, SampleBlock* blocks);

// Offset of the duplicate header, when options.duplicate asks for one.
uint64_t SampleDuplicateOffset(const SampleOptions& options);

// The image's bytes. False (and `image` empty) when the options are unusable.
bool BuildSampleImage(const SampleOptions& options, std::vector<uint8_t>* image);
