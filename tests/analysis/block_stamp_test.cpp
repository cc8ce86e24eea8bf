#include <filesystem>

#include "block_stamp.h"
#include "test_support.h"

namespace fs = std::filesystem;

namespace {

class Stamp : public TempFolderTest {
protected:
    // Filler, then a header at 0x40 whose stamp fields hold `fields` (32 bytes
    // from header offset 32), cut to `headerBytes` bytes of header.
    std::string ImageWithStamp(const Bytes& fields, size_t headerBytes)
    {
        Bytes image = Filler(0x40);
        Bytes header = BlockHeader(0x08F70100u, 0x200);
        std::copy(fields.begin(), fields.end(), header.begin() + 32);
        header.resize(headerBytes);
        image.insert(image.end(), header.begin(), header.end());
        return MakeFile("image.bin", image);
    }
};

Bytes Fields(const std::string& version, const std::string& date)
{
    Bytes f(32, 0);
    std::copy(version.begin(), version.begin() + static_cast<std::ptrdiff_t>(std::min<size_t>(16, version.size())), f.begin());
    std::copy(date.begin(), date.begin() + static_cast<std::ptrdiff_t>(std::min<size_t>(16, date.size())), f.begin() + 16);
    return f;
}

TEST_F(Stamp, ReadsBothTextsUpToTheirFirstNul)
{
    const struct {
        const char* name;
        Bytes fields;
        const char* version;
        const char* date;
    } cases[] = {
        {"Ordinary", Fields("V2.13.07", "2024-03-18"), "V2.13.07", "2024-03-18"},
        {"SixLettersTenNuls", Fields("ABCDEF", ""), "ABCDEF", ""},
        {"SixteenEach", Fields("0123456789abcdef", "FEDCBA9876543210"), "0123456789abcdef",
         "FEDCBA9876543210"},
        {"UnterminatedVersionDoesNotRunIntoDate", Fields("VVVVVVVVVVVVVVVV", "D"),
         "VVVVVVVVVVVVVVVV", "D"},
        {"HighBytesAsTheyAre", Fields("\xC4\xE9\xFF", "\x80"), "\xC4\xE9\xFF", "\x80"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = ImageWithStamp(c.fields, 64);
        const BlockStamp s = ReadBlockStamp(path.c_str(), 0x40);
        EXPECT_TRUE(s.opened);
        EXPECT_STREQ(s.version, c.version);
        EXPECT_STREQ(s.date, c.date);
    }
}

TEST_F(Stamp, TextsEndWhereTheImageEnds)
{
    const Bytes fields = Fields("0123456789abcdef", "FEDCBA9876543210");
    const struct {
        size_t headerBytes;
        const char* version;
        const char* date;
    } cases[] = {
        {63, "0123456789abcdef", "FEDCBA987654321"},
        {50, "0123456789abcdef", "FE"},
        {48, "0123456789abcdef", ""},
        {40, "01234567", ""},
        {32, "", ""},
        {12, "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.headerBytes);
        const std::string path = ImageWithStamp(fields, c.headerBytes);
        const BlockStamp s = ReadBlockStamp(path.c_str(), 0x40);
        EXPECT_TRUE(s.opened);
        EXPECT_STREQ(s.version, c.version);
        EXPECT_STREQ(s.date, c.date);
    }
}

TEST_F(Stamp, OffsetPastTheEndGivesEmptyTexts)
{
    const std::string path = ImageWithStamp(Fields("V1", "D1"), 64);
    for (uint64_t offset : {uint64_t{0x80}, uint64_t{1} << 33, UINT64_MAX}) {
        const BlockStamp s = ReadBlockStamp(path.c_str(), offset);
        EXPECT_TRUE(s.opened);
        EXPECT_STREQ(s.version, "");
        EXPECT_STREQ(s.date, "");
    }
}

TEST_F(Stamp, MissingImageIsNotOpenedAndNotCreated)
{
    const std::string path = PathOf("gone.bin");
    const BlockStamp s = ReadBlockStamp(path.c_str(), 0);
    EXPECT_FALSE(s.opened);
    EXPECT_STREQ(s.version, "");
    EXPECT_STREQ(s.date, "");
    EXPECT_FALSE(fs::exists(path));
}

TEST_F(Stamp, ExtentIsReadOnlyWhenWhole)
{
    Bytes image = Filler(0x40);
    Bytes header = BlockHeader(0x03FC0100u, 0x89ABCDEFu);
    image.insert(image.end(), header.begin(), header.end());
    const std::string path = MakeFile("image.bin", image);

    const BlockExtent whole = ReadBlockExtent(path.c_str(), 0x40);
    EXPECT_EQ(whole.status, EXTENT_READ);
    EXPECT_EQ(whole.extent, 0x89ABCDEFu);

    // The field at 8..11 cut by the end: 11, 9 and 8 header bytes remain.
    for (size_t keep : {size_t{11}, size_t{9}, size_t{8}, size_t{0}}) {
        Bytes cut(image.begin(), image.begin() + 0x40 + static_cast<std::ptrdiff_t>(keep));
        const std::string p = MakeFile("cut.bin", cut);
        EXPECT_EQ(ReadBlockExtent(p.c_str(), 0x40).status, EXTENT_UNREADABLE) << keep;
    }
    Bytes twelve(image.begin(), image.begin() + 0x40 + 12);
    const BlockExtent justFits = ReadBlockExtent(MakeFile("twelve.bin", twelve).c_str(), 0x40);
    EXPECT_EQ(justFits.status, EXTENT_READ);
    EXPECT_EQ(justFits.extent, 0x89ABCDEFu);

    EXPECT_EQ(ReadBlockExtent(PathOf("gone.bin").c_str(), 0).status, EXTENT_IMAGE_NOT_OPENED);
    EXPECT_FALSE(fs::exists(PathOf("gone.bin")));
}

}  // namespace
