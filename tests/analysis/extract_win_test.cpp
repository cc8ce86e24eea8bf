// Windows-only: one file reached through two drive letters. Wine maps the
// prefix's C: into the Unix tree, which Z: also shows, so both names open the
// same file; only its identity, not its spelling, tells them apart.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <filesystem>

#include "block_extract.h"
#include "test_support.h"

namespace fs = std::filesystem;

namespace {

typedef char*(__cdecl* UnixNameFn)(const WCHAR*);

// The Z: spelling of `path`, or "" when not under Wine.
std::string OtherDriveSpelling(const fs::path& path)
{
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    const auto unixName = reinterpret_cast<UnixNameFn>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "wine_get_unix_file_name")));
    if (unixName == nullptr) {
        return "";
    }
    char* unix = unixName(path.wstring().c_str());
    if (unix == nullptr) {
        return "";
    }
    std::string z = std::string("Z:") + unix;
    HeapFree(GetProcessHeap(), 0, unix);
    for (char& c : z) {
        if (c == '/') {
            c = '\\';
        }
    }
    return z;
}

class DriveAlias : public TempFolderTest {};

TEST_F(DriveAlias, RefusesTheImageReachedThroughAnotherDriveLetter)
{
    const std::string alias = OtherDriveSpelling(folder_);
    if (alias.empty()) {
        GTEST_SKIP() << "not running under Wine: no second drive letter shows this folder";
    }
    Bytes image = Filler(0x400);
    const Bytes header = BlockHeader(0x04FB0100u, 0x80);
    std::copy(header.begin(), header.end(), image.begin() + 0x100);
    const std::string path = MakeFile("userdb.bin", image);
    ASSERT_NE(alias.substr(0, 2), path.substr(0, 2)) << alias << " vs " << path;
    ASSERT_TRUE(fs::exists(alias + "\\userdb.bin")) << alias;

    const ExtractResult r = ExtractBlockInto(alias.c_str(), path.c_str(), "userdb", ".bin", 0x100);
    EXPECT_EQ(r.status, EXTRACT_REFUSED_SAME_FILE) << ExtractStatusText(r.status);
    EXPECT_EQ(ReadFileBytes(path), image);
    EXPECT_EQ(FolderEntries(folder_), std::vector<std::string>{"userdb.bin"});
}

}  // namespace
