// Windows file layer of the core: kernel32 only.
#define WIN32_LEAN_AND_MEAN
#define NOGDI
#define NOUSER
#include <windows.h>

#include "image_file.h"

#include <cstdio>
#include <cstring>

namespace {

HANDLE Handle(intptr_t handle)
{
    return reinterpret_cast<HANDLE>(handle);
}

intptr_t FromHandle(HANDLE h)
{
    return reinterpret_cast<intptr_t>(h);
}

const char* BaseName(const char* path)
{
    const char* base = path;
    for (const char* p = path; *p; ++p) {
        if (*p == '\\' || *p == '/' || *p == ':') {
            base = p + 1;
        }
    }
    return base;
}

bool IdentityOf(HANDLE h, FileIdentity* identity)
{
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(h, &info)) {
        return false;
    }
    identity->device = info.dwVolumeSerialNumber;
    identity->index = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return true;
}

}  // namespace

bool ImageOpen(const char* path, ImageFile* file)
{
    file->handle = FromHandle(INVALID_HANDLE_VALUE);
    file->size = 0;
    if (path == nullptr || path[0] == '\0') {
        return false;
    }
    // OPEN_EXISTING: a vanished image is not recreated. Full sharing: other
    // programs may go on reading and writing it.
    HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return false;
    }
    LARGE_INTEGER size;
    if (GetFileType(h) != FILE_TYPE_DISK || !GetFileSizeEx(h, &size) || size.QuadPart < 0) {
        CloseHandle(h);
        return false;
    }
    file->handle = FromHandle(h);
    file->size = static_cast<uint64_t>(size.QuadPart);
    return true;
}

void ImageClose(ImageFile* file)
{
    if (Handle(file->handle) != INVALID_HANDLE_VALUE) {
        CloseHandle(Handle(file->handle));
        file->handle = FromHandle(INVALID_HANDLE_VALUE);
    }
}

IoResult ImageRead(ImageFile* file, void* buffer, size_t length, size_t* got)
{
    unsigned char* p = static_cast<unsigned char*>(buffer);
    size_t total = 0;
    while (total < length) {
        const size_t want = length - total;
        const DWORD chunk = want > 0x40000000u ? 0x40000000u : static_cast<DWORD>(want);
        DWORD n = 0;
        if (!ReadFile(Handle(file->handle), p + total, chunk, &n, nullptr)) {
            *got = total;
            return IO_ERROR;
        }
        if (n == 0) {
            break;
        }
        total += n;
    }
    *got = total;
    return IO_OK;
}

IoResult ImageReadAt(ImageFile* file, uint64_t offset, void* buffer, size_t length, size_t* got)
{
    *got = 0;
    if (offset > static_cast<uint64_t>(INT64_MAX)) {
        return IO_OK;
    }
    LARGE_INTEGER where;
    where.QuadPart = static_cast<LONGLONG>(offset);
    if (!SetFilePointerEx(Handle(file->handle), where, nullptr, FILE_BEGIN)) {
        return IO_ERROR;
    }
    return ImageRead(file, buffer, length, got);
}

bool ImageIdentity(const ImageFile* file, FileIdentity* identity)
{
    return IdentityOf(Handle(file->handle), identity);
}

bool PathIdentity(const char* path, FileIdentity* identity)
{
    // No access rights needed to ask for the identity; backup semantics lets a
    // folder be opened too. Volume serial + file index also see through
    // drive-letter aliases of one file.
    HANDLE h = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return false;
    }
    const bool ok = IdentityOf(h, identity);
    CloseHandle(h);
    return ok;
}

bool OutputBegin(const char* finalPath, OutputFile* out)
{
    out->handle = FromHandle(INVALID_HANDLE_VALUE);
    out->tempPath[0] = '\0';
    const size_t len = std::strlen(finalPath);
    if (len == 0 || len + 1 > sizeof out->finalPath) {
        return false;
    }
    std::memcpy(out->finalPath, finalPath, len + 1);
    const char* base = BaseName(finalPath);
    const int folderLen = static_cast<int>(base - finalPath);

    // CREATE_NEW makes a name taken by another save fail; the next number is tried.
    for (unsigned serial = 0; serial < 100; ++serial) {
        const int n = std::snprintf(out->tempPath, sizeof out->tempPath, "%.*s~%s.%lu-%u.tmp",
                                    folderLen, finalPath, base,
                                    static_cast<unsigned long>(GetCurrentProcessId()), serial);
        if (n < 0 || static_cast<size_t>(n) >= sizeof out->tempPath) {
            break;
        }
        HANDLE h = CreateFileA(out->tempPath, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            out->handle = FromHandle(h);
            return true;
        }
        const DWORD err = GetLastError();
        if (err != ERROR_FILE_EXISTS && err != ERROR_ALREADY_EXISTS) {
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
        const DWORD chunk = length > 0x40000000u ? 0x40000000u : static_cast<DWORD>(length);
        DWORD n = 0;
        if (!WriteFile(Handle(out->handle), p, chunk, &n, nullptr) || n == 0) {
            return false;
        }
        p += n;
        length -= n;
    }
    return true;
}

bool OutputCommit(OutputFile* out)
{
    bool ok = FlushFileBuffers(Handle(out->handle)) != 0;
    ok = (CloseHandle(Handle(out->handle)) != 0) && ok;
    out->handle = FromHandle(INVALID_HANDLE_VALUE);
    if (ok) {
        ok = MoveFileExA(out->tempPath, out->finalPath,
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    }
    if (!ok) {
        DeleteFileA(out->tempPath);
    }
    out->tempPath[0] = '\0';
    return ok;
}

void OutputAbandon(OutputFile* out)
{
    if (Handle(out->handle) != INVALID_HANDLE_VALUE) {
        CloseHandle(Handle(out->handle));
        out->handle = FromHandle(INVALID_HANDLE_VALUE);
    }
    if (out->tempPath[0] != '\0') {
        DeleteFileA(out->tempPath);
        out->tempPath[0] = '\0';
    }
}
