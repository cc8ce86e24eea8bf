// The core's file layer with failures injected at the system calls: the test
// is linked with --wrap=read,fsync,rename, so the core's calls come here and
// fail on demand, deterministically, at a chosen byte or step.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>

#include "block_extract.h"
#include "block_stamp.h"
#include "board_catalogue.h"
#include "image_file.h"
#include "test_support.h"
#include "word_search.h"

namespace fs = std::filesystem;

namespace {

long g_readBudget = -1;  // bytes read() may still deliver; -1: no failure
bool g_failFsync = false;
bool g_failRename = false;

// Arms the failures for one scope; disarms them however the scope ends.
struct Inject {
    Inject(long readBudget, bool fsync, bool rename)
    {
        g_readBudget = readBudget;
        g_failFsync = fsync;
        g_failRename = rename;
    }
    ~Inject()
    {
        g_readBudget = -1;
        g_failFsync = false;
        g_failRename = false;
    }
};

}  // namespace

extern "C" {
ssize_t __real_read(int fd, void* buffer, size_t length);
int __real_fsync(int fd);
int __real_rename(const char* from, const char* to);

ssize_t __wrap_read(int fd, void* buffer, size_t length)
{
    if (g_readBudget < 0) {
        return __real_read(fd, buffer, length);
    }
    if (g_readBudget == 0) {
        errno = EIO;
        return -1;
    }
    const size_t allowed = length < static_cast<size_t>(g_readBudget) ? length
                                                                       : static_cast<size_t>(g_readBudget);
    const ssize_t n = __real_read(fd, buffer, allowed);
    if (n > 0) {
        g_readBudget -= n;
    }
    return n;
}

int __wrap_fsync(int fd)
{
    if (g_failFsync) {
        errno = EIO;
        return -1;
    }
    return __real_fsync(fd);
}

int __wrap_rename(const char* from, const char* to)
{
    if (g_failRename) {
        errno = EXDEV;
        return -1;
    }
    return __real_rename(from, to);
}
}

namespace {

constexpr uint32_t LOGO_ID = 0x02FD0100u;

class IoFault : public TempFolderTest {
protected:
    // Two copies of a header: at 0x100 and past the first read buffer.
    Bytes TwoHeaders(size_t size, uint32_t extent)
    {
        Bytes image = Filler(size, 21);
        const Bytes header = BlockHeader(LOGO_ID, extent, 0, "V1", "D1");
        std::copy(header.begin(), header.end(), image.begin() + 0x100);
        std::copy(header.begin(), header.end(), image.begin() + static_cast<std::ptrdiff_t>(late_));
        return image;
    }
    const size_t late_ = IMAGE_IO_BUFFER + 0x400;
};

TEST_F(IoFault, ReadErrorEndsTheSearchWithWhatItSaw)
{
    const std::string path = MakeFile("image.bin", TwoHeaders(IMAGE_IO_BUFFER * 2, 0x80));
    ASSERT_EQ(FindBlockWord(path.c_str(), LOGO_ID).offset, late_);

    const struct {
        long budget;
        bool found;
        uint64_t offset;
        uint64_t matches;
    } cases[] = {
        {0, false, 0, 0},                                  // the first read fails
        {0x103, false, 0, 0},                              // the matching word arrives cut
        {0x104, true, 0x100, 1},                           // it arrives whole
        {static_cast<long>(IMAGE_IO_BUFFER), true, 0x100, 1},  // the second buffer fails
        {static_cast<long>(late_ + 4), true, late_, 2},    // both arrive, the rest fails
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.budget);
        WordSearchResult r;
        {
            Inject inject(c.budget, false, false);
            r = FindBlockWord(path.c_str(), LOGO_ID);
        }
        EXPECT_TRUE(r.opened);
        EXPECT_EQ(r.size, IMAGE_IO_BUFFER * 2);
        EXPECT_EQ(r.found, c.found);
        EXPECT_EQ(r.offset, c.offset);
        EXPECT_EQ(r.matches, c.matches);
    }
}

TEST_F(IoFault, ReadErrorInAHeaderMakesItsFieldsUnreadable)
{
    const std::string path = MakeFile("image.bin", TwoHeaders(IMAGE_IO_BUFFER * 2, 0x80));
    Inject inject(10, false, false);  // the header read fails after 10 bytes
    EXPECT_EQ(ReadBlockExtent(path.c_str(), 0x100).status, EXTENT_UNREADABLE);
    g_readBudget = 10;
    EXPECT_EQ(IdentifyBoard(path.c_str(), 0x100), IDENTIFY_UNRECOGNISED);
    g_readBudget = 40;
    const BlockStamp s = ReadBlockStamp(path.c_str(), 0x100);
    EXPECT_TRUE(s.opened);
    EXPECT_STREQ(s.version, "V1");  // the 40 bytes that arrived hold it
    EXPECT_STREQ(s.date, "");
}

// Each failure of the save's steps: the copy's reads, the flush, the rename.
TEST_F(IoFault, FailedSaveStepsLeaveTheEarlierFileAndNoTemporary)
{
    const uint32_t extent = static_cast<uint32_t>(IMAGE_IO_BUFFER + 0x1000);
    const Bytes image = TwoHeaders(IMAGE_IO_BUFFER * 2, extent);
    const std::string path = MakeFile("image.bin", image);
    const Bytes earlier(777, 0xEE);

    const struct {
        const char* name;
        long readBudget;
        bool fsync;
        bool rename;
        ExtractStatus status;
    } cases[] = {
        {"ReadFailsInTheFirstBuffer", 64 + 100, false, false, EXTRACT_IMAGE_READ_FAILED},
        {"ReadFailsInTheSecondBuffer", 64 + static_cast<long>(IMAGE_IO_BUFFER) + 1, false, false,
         EXTRACT_IMAGE_READ_FAILED},
        {"FlushFails", -1, true, false, EXTRACT_OUTPUT_NOT_WRITTEN},
        {"RenameFails", -1, false, true, EXTRACT_OUTPUT_NOT_WRITTEN},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFileBytes(folder_ / "logo.bin", earlier);
        ExtractResult r;
        {
            Inject inject(c.readBudget, c.fsync, c.rename);
            r = ExtractBlockInto(folder_.string().c_str(), path.c_str(), "logo", ".bin", 0x100);
        }
        EXPECT_EQ(r.status, c.status) << ExtractStatusText(r.status);
        EXPECT_EQ(r.bytesWritten, 0u);
        EXPECT_STREQ(r.reportedName, "logo.bin");
        EXPECT_EQ(ReadFileBytes(folder_ / "logo.bin"), earlier);
        EXPECT_EQ(FolderEntries(folder_), (std::vector<std::string>{"image.bin", "logo.bin"}));
        EXPECT_EQ(ReadFileBytes(path), image);
    }
    // Nothing injected: the same save succeeds.
    const ExtractResult ok = ExtractBlockInto(folder_.string().c_str(), path.c_str(), "logo", ".bin", 0x100);
    EXPECT_EQ(ok.status, EXTRACT_WRITTEN);
    EXPECT_EQ(ReadFileBytes(folder_ / "logo.bin"),
              Bytes(image.begin() + 0x100, image.begin() + 0x100 + extent));
}

}  // namespace
