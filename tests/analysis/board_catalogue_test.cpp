#include <filesystem>

#include "board_catalogue.h"
#include "test_support.h"
#include "word_search.h"

namespace fs = std::filesystem;

namespace {

struct VariantCase {
    const char* name;
    int variantByte;
    int expected;
};

const VariantCase VARIANT_CASES[] = {
    {"Zero", 0x00, BOARD_3329B},
    {"UpperB", 'B', BOARD_3329B_DVR_CI},
    {"UpperC", 'C', BOARD_3329C},
    {"LowerB", 'b', IDENTIFY_UNRECOGNISED},
    {"LowerC", 'c', IDENTIFY_UNRECOGNISED},
    {"One", 0x01, IDENTIFY_UNRECOGNISED},
    {"A", 'A', IDENTIFY_UNRECOGNISED},
    {"HighByte", 0xC3, IDENTIFY_UNRECOGNISED},
    {"Erased", 0xFF, IDENTIFY_UNRECOGNISED},
};

class IdentifyTable : public TempFolderTest, public ::testing::WithParamInterface<VariantCase> {};

TEST_P(IdentifyTable, MapsTheVariantByteOfTheMainCodeHeader)
{
    const VariantCase& c = GetParam();
    // Bootloader at 0, main code at 0x80, some filler after.
    Bytes image = BlockHeader(BOOTLOADER_ID, 0x80);
    Bytes body = Filler(64);
    image.insert(image.end(), body.begin(), body.end());
    Bytes main = BlockHeader(MAINCODE_ID, 0x40, static_cast<uint8_t>(c.variantByte));
    image.insert(image.end(), main.begin(), main.end());
    body = Filler(128, 3);
    image.insert(image.end(), body.begin(), body.end());
    const std::string path = MakeFile("image.bin", image);

    const WordSearchResult found = FindBlockWord(path.c_str(), MAINCODE_ID);
    ASSERT_TRUE(found.found);
    ASSERT_EQ(found.offset, 0x80u);
    EXPECT_EQ(IdentifyBoard(path.c_str(), found.offset), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Bytes, IdentifyTable, ::testing::ValuesIn(VARIANT_CASES),
                         [](const ::testing::TestParamInfo<VariantCase>& info) {
                             return std::string(info.param.name);
                         });

class Identify : public TempFolderTest {};

TEST_F(Identify, VariantBytePastTheEndIsUnrecognised)
{
    // The header is cut one byte before the variant field, and exactly at it.
    for (size_t length : {size_t{24}, size_t{20}, size_t{0}}) {
        Bytes image = Filler(32);
        Bytes main = BlockHeader(MAINCODE_ID, 0x40, 'C');
        main.resize(length);
        image.insert(image.end(), main.begin(), main.end());
        const std::string path = MakeFile("image.bin", image);
        EXPECT_EQ(IdentifyBoard(path.c_str(), 32), IDENTIFY_UNRECOGNISED) << length;
    }
    // One byte more makes it readable.
    Bytes image = Filler(32);
    Bytes main = BlockHeader(MAINCODE_ID, 0x40, 'C');
    main.resize(25);
    image.insert(image.end(), main.begin(), main.end());
    EXPECT_EQ(IdentifyBoard(MakeFile("image.bin", image).c_str(), 32), BOARD_3329C);
}

TEST_F(Identify, OffsetsFarPastTheEndAreUnrecognised)
{
    const std::string path = MakeFile("image.bin", Filler(64));
    EXPECT_EQ(IdentifyBoard(path.c_str(), 64), IDENTIFY_UNRECOGNISED);
    EXPECT_EQ(IdentifyBoard(path.c_str(), uint64_t{1} << 40), IDENTIFY_UNRECOGNISED);
    EXPECT_EQ(IdentifyBoard(path.c_str(), UINT64_MAX - 10), IDENTIFY_UNRECOGNISED);
}

TEST_F(Identify, MissingImageIsNotOpenedAndNotCreated)
{
    const std::string path = PathOf("gone.bin");
    EXPECT_EQ(IdentifyBoard(path.c_str(), 0), IDENTIFY_NOT_OPENED);
    EXPECT_FALSE(fs::exists(path));
    EXPECT_EQ(IdentifyBoard(folder_.string().c_str(), 0), IDENTIFY_NOT_OPENED);
}

TEST(BoardFailures, AreDistinctFromEveryModel)
{
    for (int failure : {IDENTIFY_NOT_OPENED, IDENTIFY_UNRECOGNISED}) {
        EXPECT_FALSE(IsBoardModel(failure));
        EXPECT_NE(failure, BOARD_NONE);
        EXPECT_EQ(ModelText(failure), nullptr);
        EXPECT_EQ(CatalogueSize(failure), 0);
    }
}

struct CatalogueCase {
    BoardModel model;
    const char* text;
    std::vector<std::pair<std::string, BlockId>> entries;
};

const CatalogueCase CATALOGUES[] = {
    {BOARD_3329B,
     "ALI-3329B",
     {{"bootloader", 0xE3000010u},
      {"maincode", 0x01FE0101u},
      {"CAS_data", 0x08F70100u},
      {"ScriptGUI", 0x0EF10100u},
      {"Radioback", 0x02FD0100u},
      {"defaultdb", 0x03FC0100u},
      {"userdb", 0x04FB0100u}}},
    {BOARD_3329B_DVR_CI,
     "ALI-3329B DVR CI",
     {{"bootloader", 0xE3000010u},
      {"maincodeB", 0x01FE0101u},
      {"CAS_data", 0x08F70100u},
      {"ScriptGUI", 0x0EF10100u},
      {"logo", 0x02FD0100u},
      {"logo_radio", 0x02FD0300u},
      {"defaultdb", 0x03FC0100u},
      {"userdb", 0x04FB0100u}}},
    {BOARD_3329C,
     "ALI-3329C",
     {{"bootloader", 0xE3000010u},
      {"maincodeC", 0x01FE0101u},
      {"CAS_data", 0x08F70100u},
      {"ScriptGUI", 0x0EF10100u},
      {"logo", 0x02FD0100u},
      {"logo_radio", 0x02FD0300u},
      {"defaultdb", 0x03FC0100u},
      {"userdb", 0x04FB0100u}}},
};

TEST(Catalogue, ListsEachModelsBlocksInOrder)
{
    for (const CatalogueCase& c : CATALOGUES) {
        SCOPED_TRACE(c.text);
        EXPECT_TRUE(IsBoardModel(c.model));
        ASSERT_NE(ModelText(c.model), nullptr);
        EXPECT_STREQ(ModelText(c.model), c.text);
        ASSERT_EQ(CatalogueSize(c.model), static_cast<int>(c.entries.size()));
        for (size_t i = 0; i < c.entries.size(); ++i) {
            CatalogueEntry e{nullptr, 0};
            ASSERT_TRUE(CatalogueEntryAt(c.model, static_cast<int>(i), &e));
            EXPECT_EQ(std::string(e.name), c.entries[i].first);
            EXPECT_EQ(e.id, c.entries[i].second) << e.name;
        }
    }
}

TEST(Catalogue, FirstTwoEntriesAreTheBootloaderAndMainCode)
{
    for (BoardModel m : {BOARD_3329B, BOARD_3329B_DVR_CI, BOARD_3329C}) {
        CatalogueEntry e;
        ASSERT_TRUE(CatalogueEntryAt(m, 0, &e));
        EXPECT_EQ(e.id, BOOTLOADER_ID);
        ASSERT_TRUE(CatalogueEntryAt(m, 1, &e));
        EXPECT_EQ(e.id, MAINCODE_ID);
    }
}

TEST(Catalogue, RejectsModelsAndIndexesOutOfRange)
{
    const CatalogueEntry sentinel{"sentinel", 0x12345678u};
    const struct {
        int model;
        int index;
    } cases[] = {
        {BOARD_NONE, 0}, {0, 0}, {4, 0}, {BOARD_3329B, -1}, {BOARD_3329B, 7},
        {BOARD_3329C, 8}, {BOARD_3329B_DVR_CI, 1000}, {IDENTIFY_UNRECOGNISED, 0},
    };
    for (const auto& c : cases) {
        CatalogueEntry e = sentinel;
        EXPECT_FALSE(CatalogueEntryAt(c.model, c.index, &e)) << c.model << "/" << c.index;
        EXPECT_STREQ(e.name, "sentinel");
    }
    EXPECT_EQ(CatalogueSize(BOARD_NONE), 0);
    EXPECT_EQ(ModelText(BOARD_NONE), nullptr);
    EXPECT_FALSE(IsBoardModel(BOARD_NONE));
    EXPECT_FALSE(IsBoardModel(0));
    EXPECT_FALSE(IsBoardModel(4));
}

}  // namespace
