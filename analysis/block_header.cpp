#include "block_header.h"

bool FetchBlockHeader(ImageFile* file, uint64_t blockOffset, BlockHeaderBytes* header)
{
    header->length = 0;
    if (blockOffset >= file->size) {
        return true;  // the whole header lies past the end
    }
    size_t got = 0;
    const IoResult io = ImageReadAt(file, blockOffset, header->bytes, sizeof header->bytes, &got);
    header->length = got;
    return io == IO_OK;
}
