#include "block_stamp.h"

#include "block_header.h"
#include "byte_reader.h"
#include "image_file.h"

BlockStamp ReadBlockStamp(const char* path, uint64_t blockOffset)
{
    BlockStamp stamp;
    stamp.opened = false;
    stamp.version[0] = '\0';
    stamp.date[0] = '\0';

    ImageFile file;
    if (!ImageOpen(path, &file)) {
        return stamp;
    }
    BlockHeaderBytes header;
    // After a read error only the bytes that arrived are used, like a cut header.
    FetchBlockHeader(&file, blockOffset, &header);
    ImageClose(&file);

    stamp.opened = true;
    CopyFieldText(header.bytes, header.length, VERSION_FIELD, STAMP_TEXT_LEN, stamp.version);
    CopyFieldText(header.bytes, header.length, DATE_FIELD, STAMP_TEXT_LEN, stamp.date);
    return stamp;
}

BlockExtent ReadBlockExtent(const char* path, uint64_t blockOffset)
{
    BlockExtent result{EXTENT_IMAGE_NOT_OPENED, 0};
    ImageFile file;
    if (!ImageOpen(path, &file)) {
        return result;
    }
    BlockHeaderBytes header;
    const bool fetched = FetchBlockHeader(&file, blockOffset, &header);
    ImageClose(&file);

    uint32_t extent = 0;
    if (fetched && ReadBigEndian(header.bytes, header.length, EXTENT_FIELD, 4, &extent)) {
        result.status = EXTENT_READ;
        result.extent = extent;
    } else {
        result.status = EXTENT_UNREADABLE;
    }
    return result;
}
