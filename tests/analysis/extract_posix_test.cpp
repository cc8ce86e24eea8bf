// POSIX-only cases: symbolic links and images past 4 GiB (sparse files).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "block_extract.h"
#include "block_stamp.h"
#include "board_catalogue.h"
#include "test_support.h"
#include "word_search.h"

namespace fs = std::filesystem;

namespace {

class PosixFiles : public TempFolderTest {
protected:
    // A sparse file of `size` bytes with `bytes` written at `offset`.
    std::string SparseFile(const std::string& name, uint64_t size, uint64_t offset, const Bytes& bytes)
    {
        const std::string path = PathOf(name);
        const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        EXPECT_GE(fd, 0);
        EXPECT_EQ(pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(offset)),
                  static_cast<ssize_t>(bytes.size()));
        EXPECT_EQ(ftruncate(fd, static_cast<off_t>(size)), 0);
        close(fd);
        return path;
    }
};

TEST_F(PosixFiles, RefusesAnOutputNameThatIsASymlinkToTheImage)
{
    Bytes image = Filler(0x400);
    const Bytes header = BlockHeader(0x0EF10100u, 0x80);
    std::copy(header.begin(), header.end(), image.begin() + 0x100);
    const std::string path = MakeFile("image.bin", image);
    fs::create_symlink(path, folder_ / "ScriptGUI.bin");

    const ExtractResult r = ExtractBlockInto(folder_.string().c_str(), path.c_str(), "ScriptGUI", ".bin", 0x100);
    EXPECT_EQ(r.status, EXTRACT_REFUSED_SAME_FILE);
    EXPECT_EQ(ReadFileBytes(path), image);
    EXPECT_TRUE(fs::is_symlink(folder_ / "ScriptGUI.bin"));
}

TEST_F(PosixFiles, ImageReachedThroughASymlinkIsReadButNeverOverwritten)
{
    Bytes image = Filler(0x400);
    const Bytes header = BlockHeader(0x0EF10100u, 0x80);
    std::copy(header.begin(), header.end(), image.begin() + 0x100);
    fs::create_directory(folder_ / "real");
    const std::string real = (folder_ / "real" / "ScriptGUI.bin").string();
    WriteFileBytes(real, image);
    fs::create_symlink(real, folder_ / "link.bin");
    const std::string link = PathOf("link.bin");

    EXPECT_EQ(FindBlockWord(link.c_str(), 0x0EF10100u).offset, 0x100u);
    const ExtractResult same = ExtractBlockInto(PathOf("real").c_str(), link.c_str(), "ScriptGUI", ".bin", 0x100);
    EXPECT_EQ(same.status, EXTRACT_REFUSED_SAME_FILE);
    EXPECT_EQ(ReadFileBytes(real), image);

    const ExtractResult other = ExtractBlockInto(folder_.string().c_str(), link.c_str(), "ScriptGUI", ".bin", 0x100);
    EXPECT_EQ(other.status, EXTRACT_WRITTEN);
    EXPECT_EQ(ReadFileBytes(folder_ / "ScriptGUI.bin"),
              Bytes(image.begin() + 0x100, image.begin() + 0x180));
}

TEST_F(PosixFiles, DanglingSymlinkImageIsNotOpenedAndNotCreated)
{
    fs::create_symlink(folder_ / "target.bin", folder_ / "dangling.bin");
    const std::string path = PathOf("dangling.bin");
    EXPECT_FALSE(FindBlockWord(path.c_str(), BOOTLOADER_ID).opened);
    EXPECT_EQ(IdentifyBoard(path.c_str(), 0), IDENTIFY_NOT_OPENED);
    EXPECT_FALSE(ReadBlockStamp(path.c_str(), 0).opened);
    EXPECT_EQ(ExtractBlockInto(folder_.string().c_str(), path.c_str(), "x", ".bin", 0).status,
              EXTRACT_IMAGE_NOT_OPENED);
    EXPECT_FALSE(fs::exists(folder_ / "target.bin"));
}

// Headers beyond 4 GiB: offsets and sizes are 64-bit throughout.
TEST_F(PosixFiles, HeadersPastFourGibAreReadAndExtracted)
{
    const uint64_t offset = (uint64_t{1} << 32) + 0x100;
    Bytes block = BlockHeader(MAINCODE_ID, 0x100, 'C', "V9.1", "2025-05-05");
    const Bytes body = Filler(0xC0, 4);
    block.insert(block.end(), body.begin(), body.end());
    const std::string path = SparseFile("big.bin", offset + 0x180, offset, block);

    EXPECT_EQ(IdentifyBoard(path.c_str(), offset), BOARD_3329C);
    // The same offset cut to 32 bits lands in the zeros at 0x100.
    EXPECT_EQ(IdentifyBoard(path.c_str(), offset & 0xFFFFFFFFu), BOARD_3329B);
    const BlockStamp stamp = ReadBlockStamp(path.c_str(), offset);
    EXPECT_STREQ(stamp.version, "V9.1");
    EXPECT_STREQ(stamp.date, "2025-05-05");

    const ExtractResult r = ExtractBlockInto(folder_.string().c_str(), path.c_str(), "maincodeC", ".bin", offset);
    EXPECT_EQ(r.status, EXTRACT_WRITTEN);
    EXPECT_EQ(ReadFileBytes(folder_ / "maincodeC.bin"), block);
}

TEST_F(PosixFiles, SearchMeasuresAndFindsPastFourGib)
{
    const uint64_t offset = (uint64_t{1} << 32) + 0x40;
    Bytes words(8, 0);
    PutBigEndian32(&words, 0, 0x03FC0100u);
    const std::string path = SparseFile("big.bin", offset + 12, offset, words);

    const WordSearchResult r = FindBlockWord(path.c_str(), 0x03FC0100u);
    EXPECT_TRUE(r.opened);
    EXPECT_EQ(r.size, offset + 12);
    EXPECT_TRUE(r.found);
    EXPECT_EQ(r.offset, offset);
    EXPECT_EQ(r.matches, 1u);
}

}  // namespace
