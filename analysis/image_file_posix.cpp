// POSIX file layer of the core.
#include "image_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

int Fd(intptr_t handle)
{
    return static_cast<int>(handle);
}

// Splits the folder part off `path` ("" for the current directory).
bool FolderOf(const char* path, char* folder, size_t folderLen)
{
    const char* slash = std::strrchr(path, '/');
    if (slash == nullptr) {
        folder[0] = '\0';
        return true;
    }
    const size_t n = (slash == path) ? 1 : static_cast<size_t>(slash - path);
    if (n + 1 > folderLen) {
        return false;
    }
    std::memcpy(folder, path, n);
    folder[n] = '\0';
    return true;
}

// Makes the rename itself durable; a folder that cannot be synced is not a
// failure of the save, whose data is already on disk.
void SyncFolder(const char* finalPath)
{
    char folder[IMAGE_PATH_MAX];
    if (!FolderOf(finalPath, folder, sizeof folder)) {
        return;
    }
    const int fd = open(folder[0] ? folder : ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
}

}  // namespace

bool ImageOpen(const char* path, ImageFile* file)
{
    file->handle = -1;
    file->size = 0;
    if (path == nullptr || path[0] == '\0') {
        return false;
    }
    // O_NONBLOCK: opening a FIFO must not wait for a writer.
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0) {
        close(fd);
        return false;
    }
    const int flags = fcntl(fd, F_GETFL);
    if (flags >= 0) {
        fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    }
    file->handle = fd;
    file->size = static_cast<uint64_t>(st.st_size);
    return true;
}

void ImageClose(ImageFile* file)
{
    if (file->handle >= 0) {
        close(Fd(file->handle));
        file->handle = -1;
    }
}

IoResult ImageRead(ImageFile* file, void* buffer, size_t length, size_t* got)
{
    unsigned char* p = static_cast<unsigned char*>(buffer);
    size_t total = 0;
    while (total < length) {
        const ssize_t n = read(Fd(file->handle), p + total, length - total);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            *got = total;
            return IO_ERROR;
        }
        if (n == 0) {
            break;
        }
        total += static_cast<size_t>(n);
    }
    *got = total;
    return IO_OK;
}

IoResult ImageReadAt(ImageFile* file, uint64_t offset, void* buffer, size_t length, size_t* got)
{
    *got = 0;
    if (offset > static_cast<uint64_t>(INT64_MAX)) {
        return IO_OK;  // nothing can stand there
    }
    if (lseek(Fd(file->handle), static_cast<off_t>(offset), SEEK_SET) < 0) {
        return IO_ERROR;
    }
    return ImageRead(file, buffer, length, got);
}

bool ImageIdentity(const ImageFile* file, FileIdentity* identity)
{
    struct stat st;
    if (fstat(Fd(file->handle), &st) != 0) {
        return false;
    }
    identity->device = static_cast<uint64_t>(st.st_dev);
    identity->index = static_cast<uint64_t>(st.st_ino);
    return true;
}

bool PathIdentity(const char* path, FileIdentity* identity)
{
    struct stat st;
    if (stat(path, &st) != 0) {
        return false;
    }
    identity->device = static_cast<uint64_t>(st.st_dev);
    identity->index = static_cast<uint64_t>(st.st_ino);
    return true;
}

bool OutputBegin(const char* finalPath, OutputFile* out)
{
    out->handle = -1;
    out->tempPath[0] = '\0';
    const size_t len = std::strlen(finalPath);
    if (len == 0 || len + 1 > sizeof out->finalPath) {
        return false;
    }
    std::memcpy(out->finalPath, finalPath, len + 1);

    char folder[IMAGE_PATH_MAX];
    if (!FolderOf(finalPath, folder, sizeof folder)) {
        return false;
    }
    const char* base = std::strrchr(finalPath, '/');
    base = base ? base + 1 : finalPath;
    const char* sep = (folder[0] == '\0' || std::strcmp(folder, "/") == 0) ? "" : "/";

    // O_EXCL makes a name taken by another save fail; the next number is tried.
    for (unsigned serial = 0; serial < 100; ++serial) {
        const int n = std::snprintf(out->tempPath, sizeof out->tempPath, "%s%s.%s.%ld-%u.tmp",
                                    folder, sep, base, static_cast<long>(getpid()), serial);
        if (n < 0 || static_cast<size_t>(n) >= sizeof out->tempPath) {
            out->tempPath[0] = '\0';
            return false;
        }
        // 0666 under the umask: the saved block gets the permissions of any new file.
        const int fd = open(out->tempPath, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY,
                            0666);
        if (fd >= 0) {
            out->handle = fd;
            return true;
        }
        if (errno != EEXIST) {
            break;
        }
    }
    out->tempPath[0] = '\0';
    return false;
}

bool OutputWrite(OutputFile* out, const void* data, size_t length)
{
    const unsigned char* p = static_cast<const unsigned char*>(data);
    while (length > 0) {
        const ssize_t n = write(Fd(out->handle), p, length);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        if (n == 0) {
            return false;
        }
        p += n;
        length -= static_cast<size_t>(n);
    }
    return true;
}

bool OutputCommit(OutputFile* out)
{
    bool ok = fsync(Fd(out->handle)) == 0;
    ok = (close(Fd(out->handle)) == 0) && ok;
    out->handle = -1;
    if (ok) {
        ok = rename(out->tempPath, out->finalPath) == 0;
    }
    if (!ok) {
        unlink(out->tempPath);
        out->tempPath[0] = '\0';
        return false;
    }
    out->tempPath[0] = '\0';
    SyncFolder(out->finalPath);
    return true;
}

void OutputAbandon(OutputFile* out)
{
    if (out->handle >= 0) {
        close(Fd(out->handle));
        out->handle = -1;
    }
    if (out->tempPath[0] != '\0') {
        unlink(out->tempPath);
        out->tempPath[0] = '\0';
    }
}
