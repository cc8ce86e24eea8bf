// Fetching a block header: the up-to-64 header bytes are read once, and every
// field is then parsed from that buffer with ReadBigEndian. Bytes past the end
// of the image are simply absent, which is what makes a field unreadable.
#pragma once

#include <cstddef>
#include <cstdint>

#include "block_layout.h"
#include "image_file.h"

struct BlockHeaderBytes {
    uint8_t bytes[BLOCK_HEADER_LEN];
    size_t length;  // bytes present: less than BLOCK_HEADER_LEN near the image's end
};

// False on a read error; a header cut by the end of the image is not an error.
bool FetchBlockHeader(ImageFile* file, uint64_t blockOffset, BlockHeaderBytes* header);
