// The analysis core against whole synthetic flash images, in the order the
// window uses it: accept, identify, list, stamp, extract.
#include <filesystem>

#include "block_extract.h"
#include "block_stamp.h"
#include "board_catalogue.h"
#include "sample_image.h"
#include "test_support.h"
#include "word_search.h"

namespace fs = std::filesystem;

namespace {

class SampleImage : public TempFolderTest, public ::testing::WithParamInterface<BoardModel> {
protected:
    std::string Write(const SampleOptions& options, Bytes* image)
    {
        EXPECT_TRUE(BuildSampleImage(options, image));
        return MakeFile("flash.bin", *image);
    }
};

TEST_P(SampleImage, EveryCatalogueBlockIsFoundReadAndSaved)
{
    const BoardModel model = GetParam();
    const SampleOptions options = DefaultSampleOptions(model);
    Bytes image;
    const std::string path = Write(options, &image);
    SampleBlock blocks[SAMPLE_MAX_BLOCKS];
    const int count = PlanSampleImage(options, blocks);
    ASSERT_EQ(count, CatalogueSize(model));

    const WordSearchResult boot = FindBlockWord(path.c_str(), BOOTLOADER_ID);
    EXPECT_TRUE(boot.found);
    EXPECT_EQ(boot.offset, 0u);
    EXPECT_EQ(boot.size, options.size);
    const WordSearchResult main = FindBlockWord(path.c_str(), MAINCODE_ID);
    ASSERT_TRUE(main.found);
    EXPECT_EQ(IdentifyBoard(path.c_str(), main.offset), model);

    fs::create_directory(folder_ / "out");
    for (int i = 0; i < count; ++i) {
        CatalogueEntry entry;
        ASSERT_TRUE(CatalogueEntryAt(model, i, &entry));
        SCOPED_TRACE(entry.name);
        const WordSearchResult r = FindBlockWord(path.c_str(), entry.id);
        ASSERT_TRUE(r.found);
        EXPECT_EQ(r.matches, 1u);
        EXPECT_EQ(r.offset, blocks[i].offset);

        const BlockStamp stamp = ReadBlockStamp(path.c_str(), r.offset);
        EXPECT_STREQ(stamp.version, blocks[i].version);
        EXPECT_STREQ(stamp.date, blocks[i].date);

        const ExtractResult x = ExtractBlockInto(PathOf("out").c_str(), path.c_str(), entry.name,
                                                 ExtensionForBlock(entry.name), r.offset);
        EXPECT_EQ(x.status, EXTRACT_WRITTEN);
        EXPECT_EQ(x.extent, blocks[i].extent);
        const std::string file = std::string(entry.name) + ExtensionForBlock(entry.name);
        EXPECT_EQ(ReadFileBytes(folder_ / "out" / file),
                  Bytes(image.begin() + static_cast<std::ptrdiff_t>(r.offset),
                        image.begin() + static_cast<std::ptrdiff_t>(r.offset + x.extent)));
    }
    EXPECT_EQ(static_cast<int>(FolderEntries(folder_ / "out").size()), count);
    EXPECT_EQ(ReadFileBytes(path), image);
}

TEST_P(SampleImage, OptionsMakeTheDamagedImagesTheyPromise)
{
    const BoardModel model = GetParam();
    SampleBlock blocks[SAMPLE_MAX_BLOCKS];
    PlanSampleImage(DefaultSampleOptions(model), blocks);
    Bytes image;

    SampleOptions omit = DefaultSampleOptions(model);
    omit.omit[omit.omitCount++] = 2;
    EXPECT_FALSE(FindBlockWord(Write(omit, &image).c_str(), blocks[2].id).found);

    SampleOptions duplicate = DefaultSampleOptions(model);
    duplicate.duplicate = 3;
    const std::string dupPath = Write(duplicate, &image);
    const WordSearchResult dup = FindBlockWord(dupPath.c_str(), blocks[3].id);
    EXPECT_EQ(dup.matches, 2u);
    EXPECT_EQ(dup.offset, SampleDuplicateOffset(duplicate));
    EXPECT_STREQ(ReadBlockStamp(dupPath.c_str(), dup.offset).version, "copy");

    SampleOptions variant = DefaultSampleOptions(model);
    variant.variantByte = 'b';
    const std::string varPath = Write(variant, &image);
    EXPECT_EQ(IdentifyBoard(varPath.c_str(), FindBlockWord(varPath.c_str(), MAINCODE_ID).offset),
              IDENTIFY_UNRECOGNISED);

    SampleOptions extent = DefaultSampleOptions(model);
    extent.extents[extent.extentCount++] = SampleExtentOverride{4, 0xFFFFFFFFu};
    const std::string extPath = Write(extent, &image);
    const ExtractResult cut = ExtractBlockInto(folder_.string().c_str(), extPath.c_str(), "x", ".bin",
                                               blocks[4].offset);
    EXPECT_EQ(cut.status, EXTRACT_CUT_AT_END);
    EXPECT_EQ(cut.bytesWritten, extent.size - blocks[4].offset);

    SampleOptions truncated = DefaultSampleOptions(model);
    truncated.truncateAt = blocks[1].offset + 20;
    const std::string truncPath = Write(truncated, &image);
    EXPECT_EQ(image.size(), truncated.truncateAt);
    const WordSearchResult m = FindBlockWord(truncPath.c_str(), MAINCODE_ID);
    ASSERT_TRUE(m.found);
    EXPECT_EQ(IdentifyBoard(truncPath.c_str(), m.offset), IDENTIFY_UNRECOGNISED);
}

INSTANTIATE_TEST_SUITE_P(Models, SampleImage,
                         ::testing::Values(BOARD_3329B, BOARD_3329B_DVR_CI, BOARD_3329C),
                         [](const ::testing::TestParamInfo<BoardModel>& info) {
                             return std::string(info.param == BOARD_3329B          ? "B"
                                                : info.param == BOARD_3329B_DVR_CI ? "DvrCi"
                                                                                   : "C");
                         });

TEST(SampleImagePlan, RejectsUnusableOptions)
{
    Bytes image;
    SampleOptions o = DefaultSampleOptions(BOARD_3329B);
    o.size = 4096;
    EXPECT_FALSE(BuildSampleImage(o, &image));
    o.size = 8 * 1024 + 1;
    EXPECT_FALSE(BuildSampleImage(o, &image));
    o = DefaultSampleOptions(BOARD_NONE);
    EXPECT_FALSE(BuildSampleImage(o, &image));
    o = DefaultSampleOptions(BOARD_3329B);
    o.duplicate = 7;  // the ALI-3329B has seven blocks
    EXPECT_FALSE(BuildSampleImage(o, &image));
    EXPECT_TRUE(image.empty());
    o.duplicate = 6;
    EXPECT_TRUE(BuildSampleImage(o, &image));
}

}  // namespace
