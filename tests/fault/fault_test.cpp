// Fault injection on Linux: outputs that cannot be written, writes that fail
// midway, images that vanish, shrink or are not files at all, unreadable
// images, long paths and non-ASCII names. Each case runs the real core; the
// risky ones in a forked child so a limit or a lost privilege stays there.
#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <thread>

#include "block_extract.h"
#include "block_stamp.h"
#include "board_catalogue.h"
#include "test_support.h"
#include "word_search.h"

namespace fs = std::filesystem;

namespace {

constexpr uid_t NOBODY = 65534;
constexpr uint32_t LOGO_ID = 0x02FD0100u;

// An image with one block at `offset` whose extent is `extent`, data behind it.
Bytes ImageWithBlock(size_t size, size_t offset, uint32_t extent)
{
    Bytes image = Filler(size, 11);
    const Bytes header = BlockHeader(LOGO_ID, extent, 0, "V3.2.1", "2024-09-09");
    std::copy(header.begin(), header.end(), image.begin() + static_cast<std::ptrdiff_t>(offset));
    return image;
}

Bytes Slice(const Bytes& b, uint64_t from, uint64_t count)
{
    return Bytes(b.begin() + static_cast<std::ptrdiff_t>(from),
                 b.begin() + static_cast<std::ptrdiff_t>(from + count));
}

// Runs `body` in a forked child and returns its exit code (or 128 + signal).
// The child dies after `seconds` if it hangs.
int InChild(const std::function<int()>& body, unsigned seconds = 20)
{
    const pid_t pid = fork();
    if (pid == 0) {
        alarm(seconds);
        _exit(body());
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid) {
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// In a child: stop being root, so that permissions apply.
bool DropRoot()
{
    if (geteuid() != 0) {
        return true;
    }
    return setgroups(0, nullptr) == 0 && setgid(NOBODY) == 0 && setuid(NOBODY) == 0 &&
           geteuid() == NOBODY;
}

class Fault : public TempFolderTest {
protected:
    void SetUp() override
    {
        TempFolderTest::SetUp();
        // The unprivileged child must reach the folder.
        fs::permissions(folder_, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                     fs::perms::others_read | fs::perms::others_exec);
    }
};

TEST_F(Fault, ReadOnlyOutputFolderIsReportedAndKeepsItsFiles)
{
    const Bytes image = ImageWithBlock(0x2000, 0x100, 0x800);
    const std::string path = MakeFile("image.bin", image);
    fs::create_directory(folder_ / "out");
    WriteFileBytes(folder_ / "out" / "logo.bin", Bytes(300, 0xAA));
    fs::permissions(folder_ / "out", fs::perms::owner_read | fs::perms::owner_exec |
                                         fs::perms::group_read | fs::perms::group_exec |
                                         fs::perms::others_read | fs::perms::others_exec);
    const std::string out = PathOf("out");

    const int status = InChild([&] {
        if (!DropRoot()) {
            return 100;
        }
        return static_cast<int>(ExtractBlockInto(out.c_str(), path.c_str(), "logo", ".bin", 0x100).status);
    });
    ASSERT_NE(status, 100) << "could not drop root privileges";
    EXPECT_EQ(status, EXTRACT_OUTPUT_NOT_WRITTEN);
    EXPECT_EQ(ReadFileBytes(folder_ / "out" / "logo.bin"), Bytes(300, 0xAA));
    EXPECT_EQ(FolderEntries(folder_ / "out"), std::vector<std::string>{"logo.bin"});
}

// A file-size limit makes the write fail at a chosen byte: at the start, within
// the first buffer, at a buffer boundary, just past it.
TEST_F(Fault, WriteFailingMidwayLeavesTheEarlierFileAndNoTemporary)
{
    const size_t extent = 700 * 1024;
    const Bytes image = ImageWithBlock(extent + 0x1000, 0x1000, static_cast<uint32_t>(extent));
    const std::string path = MakeFile("image.bin", image);
    const Bytes earlier(5000, 0xAB);
    for (rlim_t limit : {rlim_t{0}, rlim_t{1}, rlim_t{64 * 1024}, rlim_t{256 * 1024},
                         rlim_t{256 * 1024 + 1}, rlim_t{extent - 1}}) {
        SCOPED_TRACE(limit);
        WriteFileBytes(folder_ / "logo.bin", earlier);
        const int status = InChild([&] {
            signal(SIGXFSZ, SIG_IGN);
            const rlimit r{limit, limit};
            if (setrlimit(RLIMIT_FSIZE, &r) != 0) {
                return 100;
            }
            return static_cast<int>(
                ExtractBlockInto(folder_.string().c_str(), path.c_str(), "logo", ".bin", 0x1000).status);
        });
        EXPECT_EQ(status, EXTRACT_OUTPUT_NOT_WRITTEN);
        EXPECT_EQ(ReadFileBytes(folder_ / "logo.bin"), earlier);
        EXPECT_EQ(FolderEntries(folder_), (std::vector<std::string>{"image.bin", "logo.bin"}));
    }
    // Without a limit the same save goes through.
    const ExtractResult r = ExtractBlockInto(folder_.string().c_str(), path.c_str(), "logo", ".bin", 0x1000);
    EXPECT_EQ(r.status, EXTRACT_WRITTEN);
    EXPECT_EQ(ReadFileBytes(folder_ / "logo.bin"), Slice(image, 0x1000, extent));
}

TEST_F(Fault, ImageVanishingBetweenCallsIsNotRecreated)
{
    const std::string path = MakeFile("image.bin", ImageWithBlock(0x400, 0x100, 0x80));
    const WordSearchResult found = FindBlockWord(path.c_str(), LOGO_ID);
    ASSERT_TRUE(found.found);
    fs::remove(path);
    fs::current_path(folder_);

    EXPECT_FALSE(FindBlockWord(path.c_str(), LOGO_ID).opened);
    EXPECT_EQ(IdentifyBoard(path.c_str(), found.offset), IDENTIFY_NOT_OPENED);
    EXPECT_FALSE(ReadBlockStamp(path.c_str(), found.offset).opened);
    EXPECT_EQ(ReadBlockExtent(path.c_str(), found.offset).status, EXTENT_IMAGE_NOT_OPENED);
    const ExtractResult r = ExtractBlock(path.c_str(), "logo", ".bin", found.offset);
    EXPECT_EQ(r.status, EXTRACT_IMAGE_NOT_OPENED);
    EXPECT_STREQ(r.reportedName, "logo");
    EXPECT_TRUE(FolderEntries(folder_).empty());
}

TEST_F(Fault, ImageShrinkingBetweenCallsIsReadAsItIsNow)
{
    const Bytes image = ImageWithBlock(0x400, 0x100, 0x200);
    const std::string path = MakeFile("image.bin", image);
    const WordSearchResult found = FindBlockWord(path.c_str(), LOGO_ID);
    ASSERT_EQ(found.offset, 0x100u);

    const struct {
        size_t newSize;
        ExtractStatus status;
        uint64_t written;
        const char* version;
    } cases[] = {
        {0x100 + 0x200, EXTRACT_WRITTEN, 0x200, "V3.2.1"},
        {0x100 + 0x1FF, EXTRACT_CUT_AT_END, 0x1FF, "V3.2.1"},
        {0x100 + 36, EXTRACT_CUT_AT_END, 36, "V3.2"},
        {0x100 + 12, EXTRACT_CUT_AT_END, 12, ""},
        {0x100 + 11, EXTRACT_EXTENT_UNREADABLE, 0, ""},
        {0x100, EXTRACT_EXTENT_UNREADABLE, 0, ""},
        {0, EXTRACT_EXTENT_UNREADABLE, 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.newSize);
        fs::resize_file(path, c.newSize);
        EXPECT_STREQ(ReadBlockStamp(path.c_str(), found.offset).version, c.version);
        const ExtractResult r = ExtractBlockInto(PathOf("").c_str(), path.c_str(), "logo", ".bin", found.offset);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.bytesWritten, c.written);
        if (c.status != EXTRACT_EXTENT_UNREADABLE) {
            EXPECT_EQ(ReadFileBytes(folder_ / "logo.bin"), Slice(image, 0x100, c.written));
        }
        fs::remove(folder_ / "logo.bin");
    }
}

// The image is cut while the copy runs: what was copied is a prefix of the
// block, and a cut copy says so; nothing is padded.
TEST_F(Fault, ImageShrinkingDuringTheCopyIsCutNotPadded)
{
    const size_t extent = 48 * 1024 * 1024;
    const Bytes image = ImageWithBlock(extent + 0x1000, 0x1000, static_cast<uint32_t>(extent));
    const std::string path = MakeFile("image.bin", image);
    const uint64_t shrunk = 0x1000 + 5 * 1024 * 1024 + 3;
    fs::create_directory(folder_ / "out");

    std::atomic<bool> done{false};
    std::thread cutter([&] {
        // Wait for the temporary output to appear, then cut the image.
        while (!done && FolderEntries(folder_ / "out").empty()) {
            std::this_thread::yield();
        }
        truncate(path.c_str(), static_cast<off_t>(shrunk));
    });
    const ExtractResult r = ExtractBlockInto(PathOf("out").c_str(), path.c_str(), "logo", ".bin", 0x1000);
    done = true;
    cutter.join();

    const Bytes written = ReadFileBytes(folder_ / "out" / "logo.bin");
    ASSERT_TRUE(r.status == EXTRACT_CUT_AT_END || r.status == EXTRACT_WRITTEN) << ExtractStatusText(r.status);
    EXPECT_EQ(written.size(), r.bytesWritten);
    EXPECT_EQ(written, Slice(image, 0x1000, written.size()));
    if (r.status == EXTRACT_CUT_AT_END) {
        // Everything up to the new end, and nothing the file no longer holds
        // beyond what was read before the cut.
        EXPECT_GE(r.bytesWritten, shrunk - 0x1000);
        EXPECT_LT(r.bytesWritten, extent);
    } else {
        EXPECT_EQ(r.bytesWritten, extent);  // the copy outran the cut
    }
    EXPECT_EQ(FolderEntries(folder_ / "out"), std::vector<std::string>{"logo.bin"});
}

// Things at the image's path that are not regular files: none is opened, none
// blocks, nothing is created.
TEST_F(Fault, ImagesThatAreNotFilesAreNotOpened)
{
    fs::create_directory(folder_ / "folder.bin");
    ASSERT_EQ(mkfifo(PathOf("fifo.bin").c_str(), 0644), 0);
    const std::string paths[] = {PathOf("folder.bin"), PathOf("fifo.bin"), "/dev/null", "/dev/zero"};
    for (const std::string& p : paths) {
        SCOPED_TRACE(p);
        // A FIFO without a writer, or /dev/zero read to its "end", would hang.
        const int status = InChild([&] {
            int code = 0;
            code |= FindBlockWord(p.c_str(), BOOTLOADER_ID).opened ? 1 : 0;
            code |= IdentifyBoard(p.c_str(), 0) != IDENTIFY_NOT_OPENED ? 2 : 0;
            code |= ReadBlockStamp(p.c_str(), 0).opened ? 4 : 0;
            code |= ExtractBlockInto(PathOf("").c_str(), p.c_str(), "x", ".bin", 0).status !=
                            EXTRACT_IMAGE_NOT_OPENED
                        ? 8
                        : 0;
            return code;
        }, 10);
        EXPECT_EQ(status, 0) << "1 search, 2 identify, 4 stamp, 8 extract; 142 = hung";
    }
    EXPECT_EQ(FolderEntries(folder_), (std::vector<std::string>{"fifo.bin", "folder.bin"}));
}

TEST_F(Fault, ImageThatIsASymlinkToTheOutputNameIsRefused)
{
    const Bytes image = ImageWithBlock(0x400, 0x100, 0x80);
    MakeFile("logo.bin", image);
    fs::create_symlink(folder_ / "logo.bin", folder_ / "image.bin");
    const std::string path = PathOf("image.bin");
    const ExtractResult r = ExtractBlockInto(folder_.string().c_str(), path.c_str(), "logo", ".bin", 0x100);
    EXPECT_EQ(r.status, EXTRACT_REFUSED_SAME_FILE);
    EXPECT_EQ(ReadFileBytes(folder_ / "logo.bin"), image);
    EXPECT_TRUE(fs::is_symlink(folder_ / "image.bin"));
}

TEST_F(Fault, UnreadableImageIsNotOpened)
{
    const std::string path = MakeFile("image.bin", ImageWithBlock(0x400, 0x100, 0x80));
    fs::permissions(path, fs::perms::none);
    const int status = InChild([&] {
        if (!DropRoot()) {
            return 100;
        }
        int code = 0;
        code |= FindBlockWord(path.c_str(), LOGO_ID).opened ? 1 : 0;
        code |= IdentifyBoard(path.c_str(), 0) != IDENTIFY_NOT_OPENED ? 2 : 0;
        code |= ReadBlockStamp(path.c_str(), 0x100).opened ? 4 : 0;
        code |= ExtractBlockInto("/tmp", path.c_str(), "x", ".bin", 0x100).status != EXTRACT_IMAGE_NOT_OPENED
                    ? 8
                    : 0;
        return code;
    });
    if (status == 100) {
        GTEST_SKIP() << "running as root and cannot drop to uid " << NOBODY
                     << ": root reads a mode-000 file, so it cannot be denied here";
    }
    EXPECT_EQ(status, 0) << "1 search, 2 identify, 4 stamp, 8 extract";
    EXPECT_EQ(fs::status(path).permissions(), fs::perms::none);
}

// Paths around the 260-character Windows limit and beyond: the image's path
// has no limit of its own; an output path too long for the core is refused.
TEST_F(Fault, LongPathsAreReadAndOverlongOutputsRefused)
{
    const Bytes image = ImageWithBlock(0x400, 0x100, 0x80);
    for (size_t length : {size_t{259}, size_t{260}, size_t{261}, size_t{600}}) {
        SCOPED_TRACE(length);
        // Folders of 100 characters, then a file name that makes up the length.
        fs::path dir = folder_;
        while (dir.string().size() + 1 + 100 + 1 + 20 < length) {
            dir /= std::string(100, 'd');
        }
        fs::create_directories(dir);
        const size_t nameLen = length - dir.string().size() - 1;
        const fs::path file = dir / (std::string(nameLen - 4, 'f') + ".bin");
        ASSERT_EQ(file.string().size(), length);
        WriteFileBytes(file, image);

        const WordSearchResult r = FindBlockWord(file.c_str(), LOGO_ID);
        EXPECT_TRUE(r.found);
        EXPECT_STREQ(ReadBlockStamp(file.c_str(), r.offset).version, "V3.2.1");
        const ExtractResult x = ExtractBlockInto(dir.c_str(), file.c_str(), "logo", ".bin", r.offset);
        EXPECT_EQ(x.status, EXTRACT_WRITTEN);
        EXPECT_EQ(ReadFileBytes(dir / "logo.bin"), Slice(image, 0x100, 0x80));
    }
    fs::path deep = folder_;
    while (deep.string().size() < 1100) {
        deep /= std::string(200, 'e');
    }
    fs::create_directories(deep);
    const std::string image1 = MakeFile("image.bin", image);
    const ExtractResult tooLong = ExtractBlockInto(deep.c_str(), image1.c_str(), "logo", ".bin", 0x100);
    EXPECT_EQ(tooLong.status, EXTRACT_OUTPUT_NOT_WRITTEN);
    EXPECT_TRUE(FolderEntries(deep).empty());
}

TEST_F(Fault, NonAsciiNamesAreKeptByteForByte)
{
    const Bytes image = ImageWithBlock(0x400, 0x100, 0x80);
    // UTF-8, a Latin-1 byte that is not UTF-8, and a high control byte.
    const std::string names[] = {"caf\xC3\xA9", "d\xE9j\xE0", "x\x9Fy"};
    for (const std::string& n : names) {
        SCOPED_TRACE(n);
        fs::create_directory(folder_ / n);
        const std::string path = (folder_ / n / (n + ".bin")).string();
        WriteFileBytes(path, image);
        const WordSearchResult r = FindBlockWord(path.c_str(), LOGO_ID);
        ASSERT_TRUE(r.found);
        const ExtractResult x = ExtractBlockInto((folder_ / n).c_str(), path.c_str(), n.c_str(), ".blk", r.offset);
        EXPECT_EQ(x.status, EXTRACT_WRITTEN);
        EXPECT_EQ(std::string(x.reportedName), n + ".blk");
        EXPECT_EQ(ReadFileBytes(folder_ / n / (n + ".blk")), Slice(image, 0x100, 0x80));
        // Saved under the image's own name: refused.
        EXPECT_EQ(ExtractBlockInto((folder_ / n).c_str(), path.c_str(), n.c_str(), ".bin", r.offset).status,
                  EXTRACT_REFUSED_SAME_FILE);
        EXPECT_EQ(ReadFileBytes(path), image);
    }
}

}  // namespace
