// The core's file layer: the only code that talks to the operating system.
// Images are opened read-only and never created; outputs are written to a
// temporary file beside the target and renamed over it once complete.
#pragma once

#include <cstddef>
#include <cstdint>

// Paths the core builds (output folder + name) must fit in this many bytes.
constexpr size_t IMAGE_PATH_MAX = 1024;

// Buffer used for every sequential read and copy: a multiple of 4 so that no
// aligned word straddles two reads.
constexpr size_t IMAGE_IO_BUFFER = 256 * 1024;
static_assert(IMAGE_IO_BUFFER % 4 == 0, "reads stay word-aligned");

struct ImageFile {
    intptr_t handle;  // file descriptor or HANDLE
    uint64_t size;    // length when it was opened
};

// Which file a name stands for, independent of its spelling.
struct FileIdentity {
    uint64_t device;  // st_dev, or the volume serial number
    uint64_t index;   // st_ino, or the file index
};

enum IoResult {
    IO_OK,
    IO_ERROR,
};

// Opens an existing regular file for reading only; never creates one, never
// blocks on a FIFO or a device. Takes the size at opening.
bool ImageOpen(const char* path, ImageFile* file);
void ImageClose(ImageFile* file);

// Reads up to `length` bytes from the current position, looping over short
// reads; `*got` < length means end of file (or an error when IO_ERROR).
IoResult ImageRead(ImageFile* file, void* buffer, size_t length, size_t* got);

// The same at an absolute offset; moves the current position past the bytes read.
IoResult ImageReadAt(ImageFile* file, uint64_t offset, void* buffer, size_t length, size_t* got);

bool ImageIdentity(const ImageFile* file, FileIdentity* identity);

// Identity of the file `path` names, following symbolic links. False when there is none.
bool PathIdentity(const char* path, FileIdentity* identity);

inline bool SameIdentity(const FileIdentity& a, const FileIdentity& b)
{
    return a.device == b.device && a.index == b.index;
}

// An output being written: the temporary file and the name it will take.
struct OutputFile {
    intptr_t handle;
    char tempPath[IMAGE_PATH_MAX];
    char finalPath[IMAGE_PATH_MAX];
};

// Creates a new temporary file in the folder of `finalPath`.
bool OutputBegin(const char* finalPath, OutputFile* out);
bool OutputWrite(OutputFile* out, const void* data, size_t length);
// Flushes the data to disk, closes and renames the temporary over the target.
// On failure the temporary is removed and the target is as it was.
bool OutputCommit(OutputFile* out);
// Closes and removes the temporary; the target is left as it was.
void OutputAbandon(OutputFile* out);
