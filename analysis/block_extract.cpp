#include "block_extract.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "block_header.h"
#include "byte_reader.h"
#include "image_file.h"

namespace {

// Copies `text` into the reported name, cut to fit.
void SetReportedName(ExtractResult* result, const char* text)
{
    std::snprintf(result->reportedName, sizeof result->reportedName, "%s", text);
}

// A block name becomes a file name in the output folder: it must not climb out
// of it or name the folder itself.
bool IsPlainFileName(const char* name)
{
    if (name[0] == '\0' || std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) {
        return false;
    }
    return std::strpbrk(name, "/\\:") == nullptr;
}

enum CopyOutcome {
    COPY_WHOLE,
    COPY_CUT,
    COPY_READ_FAILED,
    COPY_WRITE_FAILED,
};

CopyOutcome CopyRange(ImageFile* image, uint64_t offset, uint64_t length, OutputFile* out,
                      uint64_t* copied)
{
    *copied = 0;
    if (length == 0) {
        return COPY_WHOLE;
    }
    const size_t bufferLen = length < IMAGE_IO_BUFFER ? static_cast<size_t>(length) : IMAGE_IO_BUFFER;
    uint8_t* buffer = static_cast<uint8_t*>(std::malloc(bufferLen));
    if (buffer == nullptr) {
        return COPY_READ_FAILED;
    }
    CopyOutcome outcome = COPY_WHOLE;
    while (*copied < length) {
        const uint64_t left = length - *copied;
        const size_t want = left < bufferLen ? static_cast<size_t>(left) : bufferLen;
        size_t got = 0;
        if (ImageReadAt(image, offset + *copied, buffer, want, &got) != IO_OK) {
            outcome = COPY_READ_FAILED;
            break;
        }
        if (got > 0 && !OutputWrite(out, buffer, got)) {
            outcome = COPY_WRITE_FAILED;
            break;
        }
        *copied += got;
        if (got < want) {
            outcome = COPY_CUT;  // the image shrank since it was opened
            break;
        }
    }
    std::free(buffer);
    return outcome;
}

}  // namespace

const char* ExtensionForBlock(const char* blockName)
{
    return (blockName != nullptr && std::strcmp(blockName, "bootloader") == 0) ? ".abs" : ".bin";
}

ExtractResult ExtractBlockInto(const char* outputDir, const char* path, const char* blockName,
                               const char* extension, uint64_t blockOffset)
{
    ExtractResult result;
    result.status = EXTRACT_IMAGE_NOT_OPENED;
    result.reportedName[0] = '\0';
    result.extent = 0;
    result.bytesWritten = 0;
    if (blockName == nullptr) {
        blockName = "";
    }
    if (extension == nullptr) {
        extension = "";
    }
    if (outputDir == nullptr) {
        outputDir = "";
    }

    ImageFile image;
    if (!ImageOpen(path, &image)) {
        SetReportedName(&result, blockName);
        return result;
    }

    char fileName[REPORTED_NAME_LEN];
    const int nameLen = std::snprintf(fileName, sizeof fileName, "%s%s", blockName, extension);
    SetReportedName(&result, fileName);

    BlockHeaderBytes header;
    uint32_t extent = 0;
    if (!FetchBlockHeader(&image, blockOffset, &header) ||
        !ReadBigEndian(header.bytes, header.length, EXTENT_FIELD, 4, &extent)) {
        result.status = EXTRACT_EXTENT_UNREADABLE;
        ImageClose(&image);
        return result;
    }
    result.extent = extent;

    char outputPath[IMAGE_PATH_MAX];
    const size_t dirLen = std::strlen(outputDir);
    const bool needSep = dirLen > 0 && outputDir[dirLen - 1] != '/' && outputDir[dirLen - 1] != '\\';
    const int pathLen = std::snprintf(outputPath, sizeof outputPath, "%s%s%s", outputDir,
                                      needSep ? "/" : "", fileName);
    if (nameLen < 0 || static_cast<size_t>(nameLen) >= sizeof fileName || pathLen < 0 ||
        static_cast<size_t>(pathLen) >= sizeof outputPath || !IsPlainFileName(blockName)) {
        result.status = EXTRACT_OUTPUT_NOT_WRITTEN;
        ImageClose(&image);
        return result;
    }

    // Decided by identity, not by name: a relative name, another spelling, a
    // hard or symbolic link all reach the same file.
    FileIdentity imageId;
    FileIdentity targetId;
    if (!ImageIdentity(&image, &imageId) ||
        (PathIdentity(outputPath, &targetId) && SameIdentity(imageId, targetId))) {
        result.status = EXTRACT_REFUSED_SAME_FILE;
        ImageClose(&image);
        return result;
    }

    const uint64_t available = image.size > blockOffset ? image.size - blockOffset : 0;
    const uint64_t wanted = extent < available ? extent : available;

    OutputFile out;
    if (!OutputBegin(outputPath, &out)) {
        result.status = EXTRACT_OUTPUT_NOT_WRITTEN;
        ImageClose(&image);
        return result;
    }
    uint64_t copied = 0;
    const CopyOutcome outcome = CopyRange(&image, blockOffset, wanted, &out, &copied);
    ImageClose(&image);

    if (outcome == COPY_READ_FAILED || outcome == COPY_WRITE_FAILED) {
        OutputAbandon(&out);
        result.status = outcome == COPY_READ_FAILED ? EXTRACT_IMAGE_READ_FAILED
                                                    : EXTRACT_OUTPUT_NOT_WRITTEN;
        return result;
    }
    if (!OutputCommit(&out)) {
        result.status = EXTRACT_OUTPUT_NOT_WRITTEN;
        return result;
    }
    result.bytesWritten = copied;
    result.status = (outcome == COPY_CUT || copied < extent) ? EXTRACT_CUT_AT_END : EXTRACT_WRITTEN;
    return result;
}

ExtractResult ExtractBlock(const char* path, const char* blockName, const char* extension,
                           uint64_t blockOffset)
{
    return ExtractBlockInto("", path, blockName, extension, blockOffset);
}

const char* ExtractStatusText(ExtractStatus status)
{
    switch (status) {
    case EXTRACT_WRITTEN:
        return "written";
    case EXTRACT_CUT_AT_END:
        return "cut at the image end";
    case EXTRACT_IMAGE_NOT_OPENED:
        return "the image could not be opened";
    case EXTRACT_EXTENT_UNREADABLE:
        return "the block's length lies past the image end";
    case EXTRACT_OUTPUT_NOT_WRITTEN:
        return "the output file could not be written";
    case EXTRACT_REFUSED_SAME_FILE:
        return "refused: the output would overwrite the image";
    case EXTRACT_IMAGE_READ_FAILED:
        return "reading the image failed";
    }
    return "unknown status";
}
