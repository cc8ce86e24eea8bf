// Saving one block, header included, as a file of its own.
#pragma once

#include <cstdint>

enum ExtractStatus {
    EXTRACT_WRITTEN,             // the whole extent was copied
    EXTRACT_CUT_AT_END,          // the extent reaches past the image; copied up to its end
    EXTRACT_IMAGE_NOT_OPENED,    // nothing written
    EXTRACT_EXTENT_UNREADABLE,   // the extent field lies past the end; nothing written
    EXTRACT_OUTPUT_NOT_WRITTEN,  // creating, writing or renaming the output failed; nothing changed
    EXTRACT_REFUSED_SAME_FILE,   // the output would be the image itself; nothing written
    EXTRACT_IMAGE_READ_FAILED,   // reading the image failed during the copy; nothing written
};

constexpr int REPORTED_NAME_LEN = 272;  // a 256-character block name, extension and NUL

struct ExtractResult {
    ExtractStatus status;
    char reportedName[REPORTED_NAME_LEN];  // output file name (block name + extension, no
                                           // folder), or the bare block name when the image
                                           // could not be opened
    uint32_t extent;                       // the header's extent field, when it was read
    uint64_t bytesWritten;                 // size of the file written; 0 when none was
};

// ".abs" for exactly "bootloader", ".bin" for every other name.
const char* ExtensionForBlock(const char* blockName);

// Writes blockName + extension into the current directory: the `extent` bytes
// of the image from `blockOffset` on, cut at the image's end. The output
// appears whole or not at all (written beside it, then renamed over it), and is
// never the image itself. A name that is empty or holds a path separator is
// not written.
ExtractResult ExtractBlock(const char* path, const char* blockName, const char* extension,
                           uint64_t blockOffset);

// The same, into `outputDir` (an empty string means the current directory).
ExtractResult ExtractBlockInto(const char* outputDir, const char* path, const char* blockName,
                               const char* extension, uint64_t blockOffset);

// A short English phrase for the status, for messages ("cut at the image end", ...).
const char* ExtractStatusText(ExtractStatus status);
