// The version and date texts in a block's header.
#pragma once

#include <cstdint>

#include "block_layout.h"

struct BlockStamp {
    bool opened;                         // false: the image could not be opened, texts empty
    char version[STAMP_TEXT_LEN + 1];    // up to the first NUL, or all 16 bytes
    char date[STAMP_TEXT_LEN + 1];       // likewise; both end where the image ends
};

BlockStamp ReadBlockStamp(const char* path, uint64_t blockOffset);

enum ExtentStatus {
    EXTENT_READ,
    EXTENT_IMAGE_NOT_OPENED,
    EXTENT_UNREADABLE,  // the field lies wholly or partly past the image's end
};

struct BlockExtent {
    ExtentStatus status;
    uint32_t extent;  // valid when status is EXTENT_READ
};

BlockExtent ReadBlockExtent(const char* path, uint64_t blockOffset);
