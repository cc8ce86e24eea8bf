#include <cstring>
#include <filesystem>
#include <set>

#include "block_extract.h"
#include "block_layout.h"
#include "test_support.h"

namespace fs = std::filesystem;

namespace {

constexpr size_t BIG = 600 * 1024;  // longer than the copy buffer

// An image of `size` filler bytes with a header at `offset` whose extent field
// says `extent`; the header may be cut by the end of the image.
Bytes ImageWithBlock(size_t size, size_t offset, uint32_t extent, uint32_t id = 0x02FD0300u)
{
    Bytes image = Filler(size, 9);
    Bytes header = BlockHeader(id, extent, 0, "V1.0", "2024-01-01");
    for (size_t i = 0; i < header.size() && offset + i < size; ++i) {
        image[offset + i] = header[i];
    }
    return image;
}

Bytes Slice(const Bytes& b, uint64_t from, uint64_t count)
{
    return Bytes(b.begin() + static_cast<std::ptrdiff_t>(from),
                 b.begin() + static_cast<std::ptrdiff_t>(from + count));
}

struct ExtractCase {
    const char* name;
    size_t size;
    size_t offset;
    uint32_t extent;
    ExtractStatus status;
    uint64_t written;  // bytes expected in the output
};

const ExtractCase EXTRACT_CASES[] = {
    {"BootloaderAtZero", 0x400, 0, 0x80, EXTRACT_WRITTEN, 0x80},
    {"BlockInTheMiddle", 0x400, 0x100, 0x40, EXTRACT_WRITTEN, 0x40},
    {"ZeroExtentGivesEmptyFile", 0x400, 0x100, 0, EXTRACT_WRITTEN, 0},
    {"ExtentExactlyToTheEnd", 0x400, 0x100, 0x300, EXTRACT_WRITTEN, 0x300},
    {"ExtentOneMoreIsCut", 0x400, 0x100, 0x301, EXTRACT_CUT_AT_END, 0x300},
    {"HugeExtentIsCut", 0x400, 0x100, 0xFFFFFFFFu, EXTRACT_CUT_AT_END, 0x300},
    {"HeaderAtTheVeryEndStillHasItsExtent", 0x40C, 0x400, 0x10, EXTRACT_CUT_AT_END, 12},
    {"ExtentFieldCutByTheEnd", 0x40B, 0x400, 0x10, EXTRACT_EXTENT_UNREADABLE, 0},
    {"OffsetAtTheEnd", 0x400, 0x400, 0x10, EXTRACT_EXTENT_UNREADABLE, 0},
    {"ManyBuffers", BIG, 0x1000, BIG - 0x2000, EXTRACT_WRITTEN, BIG - 0x2000},
    {"ManyBuffersCut", BIG, 0x1000, 0x7FFFFFFFu, EXTRACT_CUT_AT_END, BIG - 0x1000},
};

class ExtractTable : public TempFolderTest, public ::testing::WithParamInterface<ExtractCase> {};

TEST_P(ExtractTable, CopiesTheBlocksBytesAndNoMore)
{
    const ExtractCase& c = GetParam();
    const Bytes image = ImageWithBlock(c.size, c.offset, c.extent);
    const std::string path = MakeFile("image.bin", image);
    fs::current_path(folder_);

    const ExtractResult r = ExtractBlock(path.c_str(), "logo_radio", ".bin", c.offset);
    EXPECT_EQ(r.status, c.status) << ExtractStatusText(r.status);
    EXPECT_STREQ(r.reportedName, "logo_radio.bin");
    EXPECT_EQ(r.bytesWritten, c.written);
    if (c.status == EXTRACT_EXTENT_UNREADABLE) {
        EXPECT_FALSE(fs::exists(folder_ / "logo_radio.bin"));
        EXPECT_EQ(FolderEntries(folder_), std::vector<std::string>{"image.bin"});
    } else {
        EXPECT_EQ(r.extent, c.extent);
        EXPECT_EQ(ReadFileBytes(folder_ / "logo_radio.bin"), Slice(image, c.offset, c.written));
        EXPECT_EQ(FolderEntries(folder_), (std::vector<std::string>{"image.bin", "logo_radio.bin"}));
    }
    EXPECT_EQ(ReadFileBytes(path), image);
}

INSTANTIATE_TEST_SUITE_P(Cases, ExtractTable, ::testing::ValuesIn(EXTRACT_CASES),
                         [](const ::testing::TestParamInfo<ExtractCase>& info) {
                             return std::string(info.param.name);
                         });

TEST(ExtensionForBlock, AbsOnlyForExactlyBootloader)
{
    EXPECT_STREQ(ExtensionForBlock("bootloader"), ".abs");
    for (const char* other : {"Bootloader", "bootloader ", "bootloader.abs", "bootloade", "maincode",
                              "logo_radio", ""}) {
        EXPECT_STREQ(ExtensionForBlock(other), ".bin") << "'" << other << "'";
    }
    EXPECT_STREQ(ExtensionForBlock(nullptr), ".bin");
}

class Extract : public TempFolderTest {};

TEST_F(Extract, BootloaderGoesToAbsInTheCurrentFolder)
{
    const Bytes image = ImageWithBlock(0x400, 0, 0x80, BOOTLOADER_ID);
    const std::string path = MakeFile("image.bin", image);
    fs::current_path(folder_);
    const ExtractResult r = ExtractBlock(path.c_str(), "bootloader", ExtensionForBlock("bootloader"), 0);
    EXPECT_EQ(r.status, EXTRACT_WRITTEN);
    EXPECT_STREQ(r.reportedName, "bootloader.abs");
    EXPECT_EQ(ReadFileBytes(folder_ / "bootloader.abs"), Slice(image, 0, 0x80));
}

TEST_F(Extract, MissingImageReportsTheBareNameAndWritesNothing)
{
    fs::current_path(folder_);
    const ExtractResult r = ExtractBlock(PathOf("gone.bin").c_str(), "userdb", ".bin", 0);
    EXPECT_EQ(r.status, EXTRACT_IMAGE_NOT_OPENED);
    EXPECT_STREQ(r.reportedName, "userdb");
    EXPECT_EQ(r.bytesWritten, 0u);
    EXPECT_TRUE(FolderEntries(folder_).empty());
}

TEST_F(Extract, TwiceInARowLeavesOneFileWithTheBlock)
{
    const Bytes image = ImageWithBlock(0x400, 0x100, 0x40);
    const std::string path = MakeFile("image.bin", image);
    fs::current_path(folder_);
    const ExtractResult first = ExtractBlock(path.c_str(), "logo", ".bin", 0x100);
    const ExtractResult second = ExtractBlock(path.c_str(), "logo", ".bin", 0x100);
    EXPECT_EQ(first.status, EXTRACT_WRITTEN);
    EXPECT_EQ(second.status, EXTRACT_WRITTEN);
    EXPECT_STREQ(first.reportedName, second.reportedName);
    EXPECT_EQ(FolderEntries(folder_), (std::vector<std::string>{"image.bin", "logo.bin"}));
    EXPECT_EQ(ReadFileBytes(folder_ / "logo.bin"), Slice(image, 0x100, 0x40));
}

TEST_F(Extract, LongerEarlierFileIsReplacedByTheBlock)
{
    const Bytes image = ImageWithBlock(0x400, 0x100, 0x40);
    const std::string path = MakeFile("image.bin", image);
    MakeFile("logo.bin", Bytes(5000, 0xAA));
    const ExtractResult r = ExtractBlockInto(folder_.string().c_str(), path.c_str(), "logo", ".bin", 0x100);
    EXPECT_EQ(r.status, EXTRACT_WRITTEN);
    EXPECT_EQ(ReadFileBytes(folder_ / "logo.bin"), Slice(image, 0x100, 0x40));
}

TEST_F(Extract, IntoAnotherFolderWithOrWithoutTrailingSeparator)
{
    const Bytes image = ImageWithBlock(0x400, 0x100, 0x40);
    const std::string path = MakeFile("image.bin", image);
    fs::create_directory(folder_ / "out");
    const std::string dirs[] = {PathOf("out"), PathOf("out") + "/"};
    for (const std::string& dir : dirs) {
        const ExtractResult r = ExtractBlockInto(dir.c_str(), path.c_str(), "CAS_data", ".bin", 0x100);
        EXPECT_EQ(r.status, EXTRACT_WRITTEN) << dir;
        EXPECT_STREQ(r.reportedName, "CAS_data.bin");
        EXPECT_EQ(ReadFileBytes(folder_ / "out" / "CAS_data.bin"), Slice(image, 0x100, 0x40));
    }
    EXPECT_EQ(FolderEntries(folder_ / "out"), std::vector<std::string>{"CAS_data.bin"});
}

// The output name is the image's own name: reached through the current folder,
// through the output folder, under other spellings, or through a hard link.
TEST_F(Extract, RefusesToWriteOverTheImageItself)
{
    const Bytes image = ImageWithBlock(0x400, 0x100, 0x40, 0x04FB0100u);
    const std::string path = MakeFile("userdb.bin", image);
    fs::create_directory(folder_ / "sub");
    fs::current_path(folder_);

    const struct {
        const char* name;
        std::string outputDir;
        std::string imagePath;
    } cases[] = {
        {"RelativeThroughCwd", "", "userdb.bin"},
        {"AbsoluteImageCwdOutput", "", path},
        {"DotSlashImage", "", "./userdb.bin"},
        {"OutputDirDot", ".", path},
        {"OutputDirOtherSpelling", PathOf("sub") + "/..", path},
        {"OutputDirWithDotSegments", folder_.string() + "/./", "sub/../userdb.bin"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ExtractResult r = ExtractBlockInto(c.outputDir.c_str(), c.imagePath.c_str(), "userdb",
                                                 ".bin", 0x100);
        EXPECT_EQ(r.status, EXTRACT_REFUSED_SAME_FILE) << ExtractStatusText(r.status);
        EXPECT_STREQ(r.reportedName, "userdb.bin");
        EXPECT_EQ(r.bytesWritten, 0u);
        EXPECT_EQ(ReadFileBytes(path), image);
        EXPECT_EQ(FolderEntries(folder_), (std::vector<std::string>{"sub", "userdb.bin"}));
    }
}

TEST_F(Extract, RefusesAHardLinkToTheImage)
{
    const Bytes image = ImageWithBlock(0x400, 0x100, 0x40, 0x04FB0100u);
    const std::string path = MakeFile("image.bin", image);
    std::error_code ec;
    fs::create_hard_link(path, folder_ / "userdb.bin", ec);
    if (ec) {
        GTEST_SKIP() << "this file system makes no hard links: " << ec.message();
    }
    const ExtractResult r = ExtractBlockInto(folder_.string().c_str(), path.c_str(), "userdb", ".bin", 0x100);
    EXPECT_EQ(r.status, EXTRACT_REFUSED_SAME_FILE);
    EXPECT_EQ(ReadFileBytes(path), image);
    EXPECT_EQ(ReadFileBytes(folder_ / "userdb.bin"), image);
}

TEST_F(Extract, AnImageOfTheSameNameElsewhereIsNoReasonToRefuse)
{
    const Bytes image = ImageWithBlock(0x400, 0x100, 0x40, 0x04FB0100u);
    fs::create_directory(folder_ / "in");
    const std::string path = (folder_ / "in" / "userdb.bin").string();
    WriteFileBytes(path, image);
    const ExtractResult r = ExtractBlockInto(folder_.string().c_str(), path.c_str(), "userdb", ".bin", 0x100);
    EXPECT_EQ(r.status, EXTRACT_WRITTEN);
    EXPECT_EQ(ReadFileBytes(folder_ / "userdb.bin"), Slice(image, 0x100, 0x40));
    EXPECT_EQ(ReadFileBytes(path), image);
}

TEST_F(Extract, OutputThatCannotTakeTheNameIsReportedAndLeavesNothing)
{
    const Bytes image = ImageWithBlock(0x400, 0x100, 0x40);
    const std::string path = MakeFile("image.bin", image);
    // A folder stands where the file should go: the rename over it fails.
    fs::create_directory(folder_ / "logo.bin");
    MakeFile("logo.bin/keep", Bytes{1, 2, 3});

    const ExtractResult r = ExtractBlockInto(folder_.string().c_str(), path.c_str(), "logo", ".bin", 0x100);
    EXPECT_EQ(r.status, EXTRACT_OUTPUT_NOT_WRITTEN);
    EXPECT_STREQ(r.reportedName, "logo.bin");
    EXPECT_EQ(r.bytesWritten, 0u);
    EXPECT_TRUE(fs::is_directory(folder_ / "logo.bin"));
    EXPECT_EQ(ReadFileBytes(folder_ / "logo.bin" / "keep"), (Bytes{1, 2, 3}));
    EXPECT_EQ(FolderEntries(folder_), (std::vector<std::string>{"image.bin", "logo.bin"}));
}

TEST_F(Extract, MissingOutputFolderIsReported)
{
    const std::string path = MakeFile("image.bin", ImageWithBlock(0x400, 0x100, 0x40));
    const ExtractResult r = ExtractBlockInto(PathOf("nowhere").c_str(), path.c_str(), "logo", ".bin", 0x100);
    EXPECT_EQ(r.status, EXTRACT_OUTPUT_NOT_WRITTEN);
    EXPECT_FALSE(fs::exists(folder_ / "nowhere"));
    EXPECT_EQ(FolderEntries(folder_), std::vector<std::string>{"image.bin"});
}

TEST_F(Extract, NamesThatLeaveTheOutputFolderAreNotWritten)
{
    const Bytes image = ImageWithBlock(0x400, 0x100, 0x40);
    const std::string path = MakeFile("image.bin", image);
    fs::create_directory(folder_ / "out");
    for (const char* name : {"../escape", "a/b", "a\\b", "", "..", "c:evil"}) {
        const ExtractResult r = ExtractBlockInto(PathOf("out").c_str(), path.c_str(), name, "", 0x100);
        EXPECT_EQ(r.status, EXTRACT_OUTPUT_NOT_WRITTEN) << "'" << name << "'";
    }
    EXPECT_TRUE(FolderEntries(folder_ / "out").empty());
    EXPECT_EQ(FolderEntries(folder_), (std::vector<std::string>{"image.bin", "out"}));
}

TEST_F(Extract, OverlongNameIsNotWrittenAndItsReportIsCutSafely)
{
    const std::string path = MakeFile("image.bin", ImageWithBlock(0x400, 0x100, 0x40));
    const std::string name(400, 'n');
    const ExtractResult r = ExtractBlockInto(folder_.string().c_str(), path.c_str(), name.c_str(), ".bin", 0x100);
    EXPECT_EQ(r.status, EXTRACT_OUTPUT_NOT_WRITTEN);
    EXPECT_EQ(std::strlen(r.reportedName), static_cast<size_t>(REPORTED_NAME_LEN - 1));
    EXPECT_EQ(FolderEntries(folder_), std::vector<std::string>{"image.bin"});
}

TEST(ExtractStatusText, GivesADistinctPhraseForEveryStatus)
{
    const ExtractStatus all[] = {EXTRACT_WRITTEN,           EXTRACT_CUT_AT_END,
                                 EXTRACT_IMAGE_NOT_OPENED,  EXTRACT_EXTENT_UNREADABLE,
                                 EXTRACT_OUTPUT_NOT_WRITTEN, EXTRACT_REFUSED_SAME_FILE,
                                 EXTRACT_IMAGE_READ_FAILED};
    std::set<std::string> phrases;
    for (ExtractStatus s : all) {
        const char* text = ExtractStatusText(s);
        ASSERT_NE(text, nullptr);
        EXPECT_GT(std::strlen(text), 3u);
        phrases.insert(text);
    }
    EXPECT_EQ(phrases.size(), sizeof all / sizeof all[0]);
    EXPECT_STREQ(ExtractStatusText(EXTRACT_CUT_AT_END), "cut at the image end");
}

}  // namespace
