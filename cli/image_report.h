// What `korvanta-cli info` reports about an image: the window's Open and
// Select answers for every catalogue block, gathered in one pass.
#pragma once

#include <cstdint>
#include <string>

#include "block_layout.h"
#include "board_catalogue.h"

enum ImageStatus {
    IMAGE_OK,
    IMAGE_NOT_OPENED,
    IMAGE_NO_BOOTLOADER,
    IMAGE_NO_MAINCODE,
    IMAGE_UNRECOGNISED_VARIANT,
};

constexpr int REPORT_MAX_BLOCKS = 16;

struct BlockReport {
    int index;
    const char* name;     // catalogue name, a constant text
    BlockId id;
    bool found;
    uint64_t matches;     // aligned examined words equal to the identifier
    uint64_t offset;      // the last match; valid when found
    bool extentKnown;     // the extent field lies inside the image
    uint32_t extent;
    bool pastEnd;         // offset + extent reaches beyond the image; valid when extentKnown
    bool stampKnown;      // version and date were read
    char version[STAMP_TEXT_LEN + 1];
    char date[STAMP_TEXT_LEN + 1];
};

struct ImageReport {
    const char* path;
    ImageStatus status;
    uint64_t size;        // 0 when the image could not be opened
    BoardModel board;     // BOARD_NONE unless status is IMAGE_OK
    int blockCount;       // 0 unless status is IMAGE_OK
    BlockReport blocks[REPORT_MAX_BLOCKS];
};

// Searches `path` once for every identifier of every catalogue, then reads the
// few header fields needed. Never writes to the image.
void AnalyseImage(const char* path, ImageReport* report);

// "ok", "not_opened", "no_bootloader", "no_maincode", "unrecognised_variant".
const char* ImageStatusName(ImageStatus status);

// A sentence for people, e.g. "no bootloader word 0xE3000010".
const char* ImageStatusText(ImageStatus status);

// The catalogue entry named exactly `name` in the report's board, or -1.
int FindReportBlock(const ImageReport& report, const char* name);

// The table for people: path, size, board, then one aligned row per block.
void FormatInfoText(const ImageReport& report, std::string* out);

// One JSON object followed by a newline.
void FormatInfoJson(const ImageReport& report, std::string* out);
