#include <algorithm>
#include <cstring>
#include <filesystem>
#include <utility>

#include "board_catalogue.h"
#include "image_file.h"
#include "test_support.h"
#include "word_search.h"

namespace fs = std::filesystem;

namespace {

constexpr uint32_t ID = 0x02FD0100u;
constexpr size_t BUF = IMAGE_IO_BUFFER;

struct SearchCase {
    const char* name;
    size_t size;                                   // file length, filled with a neutral pattern
    std::vector<std::pair<size_t, uint32_t>> words;  // big-endian words placed at offsets
    uint32_t wanted;
    bool found;
    uint64_t offset;
    uint64_t matches;
};

Bytes ImageOf(const SearchCase& c)
{
    Bytes b = Filler(c.size);
    for (const auto& w : c.words) {
        PutBigEndian32(&b, w.first, w.second);
    }
    b.resize(c.size);  // a word placed across the end keeps only its first bytes
    return b;
}

const SearchCase SEARCH_CASES[] = {
    {"Empty", 0, {}, ID, false, 0, 0},
    {"SevenBytes", 7, {{0, ID}}, ID, false, 0, 0},
    {"EightBytesFirstWord", 8, {{0, ID}}, ID, true, 0, 1},
    {"ElevenBytesFirstWord", 11, {{0, ID}}, ID, true, 0, 1},
    {"EightBytesLastWordNotExamined", 8, {{4, ID}}, ID, false, 0, 0},
    {"TwelveBytesLastWordNotExamined", 12, {{8, ID}}, ID, false, 0, 0},
    {"TwelveBytesMiddleWord", 12, {{4, ID}}, ID, true, 4, 1},
    {"FifteenBytesWordBeforeTail", 15, {{8, ID}}, ID, false, 0, 0},
    {"SixteenBytesThirdWord", 16, {{8, ID}}, ID, true, 8, 1},
    {"LastMatchWins", 0x400, {{0x100, ID}, {0x200, ID}}, ID, true, 0x200, 2},
    {"UnalignedNotFound", 0x40, {{2, ID}}, ID, false, 0, 0},
    {"UnalignedBesideAligned", 0x40, {{6, ID}, {0x20, ID}}, ID, true, 0x20, 1},
    {"LittleEndianNotFound", 0x40, {{8, 0x0001FD02u}}, ID, false, 0, 0},
    {"OtherIdNotCounted", 0x40, {{8, 0x02FD0300u}, {12, ID}}, ID, true, 12, 1},
    {"GroupTailWord", 64 * 3 + 12, {{64 * 3 + 4, ID}}, ID, true, 64 * 3 + 4, 1},
    {"LastWordOfAGroup", 64 * 3, {{60, ID}}, ID, true, 60, 1},
    {"AcrossBufferBoundary", 3 * BUF + 12, {{BUF - 4, ID}, {BUF, ID}, {2 * BUF + 64, ID}}, ID, true,
     2 * BUF + 64, 3},
    {"LastExaminedWordOfLongFile", 2 * BUF + 8, {{2 * BUF, ID}, {2 * BUF + 4, ID}}, ID, true, 2 * BUF,
     1},
    {"ExactlyOneBuffer", BUF, {{BUF - 8, ID}, {BUF - 4, ID}}, ID, true, BUF - 8, 1},
};

class SearchTable : public TempFolderTest, public ::testing::WithParamInterface<SearchCase> {};

TEST_P(SearchTable, FindsTheLastAlignedMatchBeforeTheLastWord)
{
    const SearchCase& c = GetParam();
    const std::string path = MakeFile("image.bin", ImageOf(c));

    const WordSearchResult r = FindBlockWord(path.c_str(), c.wanted);
    EXPECT_TRUE(r.opened);
    EXPECT_EQ(r.size, c.size);
    EXPECT_EQ(r.found, c.found);
    EXPECT_EQ(r.offset, c.offset);
    EXPECT_EQ(r.matches, c.matches);
}

TEST_P(SearchTable, OnePassGivesEachIdTheAnswerOfItsOwnSearch)
{
    const SearchCase& c = GetParam();
    const std::string path = MakeFile("image.bin", ImageOf(c));

    // The wanted id among others, twice, and ids of the pattern and of the cases.
    const BlockId ids[] = {BOOTLOADER_ID, c.wanted, 0x02FD0300u, 0x4045494Du, c.wanted, MAINCODE_ID};
    constexpr size_t N = sizeof ids / sizeof ids[0];
    WordSearchResult multi[N];
    FindBlockWords(path.c_str(), ids, N, multi);
    for (size_t i = 0; i < N; ++i) {
        const WordSearchResult single = FindBlockWord(path.c_str(), ids[i]);
        SCOPED_TRACE(i);
        EXPECT_EQ(multi[i].opened, single.opened);
        EXPECT_EQ(multi[i].size, single.size);
        EXPECT_EQ(multi[i].found, single.found);
        EXPECT_EQ(multi[i].offset, single.offset);
        EXPECT_EQ(multi[i].matches, single.matches);
    }
    EXPECT_EQ(multi[1].found, c.found);
    EXPECT_EQ(multi[4].offset, c.offset);
}

INSTANTIATE_TEST_SUITE_P(Cases, SearchTable, ::testing::ValuesIn(SEARCH_CASES),
                         [](const ::testing::TestParamInfo<SearchCase>& info) {
                             return std::string(info.param.name);
                         });

class WordSearch : public TempFolderTest {};

TEST_F(WordSearch, CountsEveryExaminedWordOfAUniformFile)
{
    // 1000 bytes of 0xFF: 250 words, 249 examined, the last at 992.
    const std::string path = MakeFile("erased.bin", Bytes(1000, 0xFF));
    const WordSearchResult r = FindBlockWord(path.c_str(), 0xFFFFFFFFu);
    EXPECT_TRUE(r.found);
    EXPECT_EQ(r.matches, 249u);
    EXPECT_EQ(r.offset, 992u);
}

TEST_F(WordSearch, NoOlderAnswerSurvivesAFailedSearch)
{
    Bytes image = Filler(64);
    PutBigEndian32(&image, 16, BOOTLOADER_ID);
    const std::string path = MakeFile("image.bin", image);
    ASSERT_EQ(FindBlockWord(path.c_str(), BOOTLOADER_ID).offset, 16u);

    const WordSearchResult r = FindBlockWord(path.c_str(), MAINCODE_ID);
    EXPECT_FALSE(r.found);
    EXPECT_EQ(r.offset, 0u);
    EXPECT_EQ(r.matches, 0u);
}

TEST_F(WordSearch, MissingImageIsNotOpenedAndNotCreated)
{
    const std::string path = PathOf("gone.bin");
    const WordSearchResult r = FindBlockWord(path.c_str(), BOOTLOADER_ID);
    EXPECT_FALSE(r.opened);
    EXPECT_FALSE(r.found);
    EXPECT_EQ(r.size, 0u);
    EXPECT_EQ(r.offset, 0u);
    EXPECT_FALSE(fs::exists(path));

    WordSearchResult multi[2];
    const BlockId ids[2] = {BOOTLOADER_ID, MAINCODE_ID};
    FindBlockWords(path.c_str(), ids, 2, multi);
    EXPECT_FALSE(multi[0].opened);
    EXPECT_FALSE(multi[1].opened);
    EXPECT_FALSE(fs::exists(path));
}

TEST_F(WordSearch, FolderAndEmptyPathAreNotOpened)
{
    EXPECT_FALSE(FindBlockWord(folder_.string().c_str(), BOOTLOADER_ID).opened);
    EXPECT_FALSE(FindBlockWord("", BOOTLOADER_ID).opened);
}

TEST_F(WordSearch, LeavesTheImageUnchanged)
{
    Bytes image = Filler(4096);
    PutBigEndian32(&image, 64, MAINCODE_ID);
    const std::string path = MakeFile("image.bin", image);
    const auto before = fs::last_write_time(path);

    const BlockId ids[2] = {BOOTLOADER_ID, MAINCODE_ID};
    WordSearchResult results[2];
    FindBlockWords(path.c_str(), ids, 2, results);
    EXPECT_EQ(results[1].offset, 64u);
    EXPECT_EQ(ReadFileBytes(path), image);
    EXPECT_EQ(fs::last_write_time(path), before);
    EXPECT_EQ(FolderEntries(folder_), std::vector<std::string>{"image.bin"});
}

TEST_F(WordSearch, NoIdsAsksNothing)
{
    const std::string path = MakeFile("image.bin", Filler(64));
    WordSearchResult untouched{true, 7, true, 7, 7};
    FindBlockWords(path.c_str(), nullptr, 0, &untouched);
    EXPECT_EQ(untouched.size, 7u);  // count 0: no result is written
}

TEST_F(WordSearch, WordsOneBitFromAnIdentifierAreNotMatches)
{
    // The fast path may let near misses through to the exact check; none of
    // them may count, and no identifier may be filtered out. Every word of the
    // image is one bit away from some catalogue identifier (never equal to
    // one), except the identifiers placed on purpose, two in one 64-byte group.
    BlockId ids[16];
    size_t count = 0;
    const BoardModel models[] = {BOARD_3329B, BOARD_3329B_DVR_CI, BOARD_3329C};
    for (BoardModel model : models) {
        for (int i = 0; i < CatalogueSize(model); ++i) {
            CatalogueEntry entry;
            ASSERT_TRUE(CatalogueEntryAt(model, i, &entry));
            if (std::find(ids, ids + count, entry.id) == ids + count) ids[count++] = entry.id;
        }
    }
    ASSERT_EQ(count, 8u);
    std::vector<uint32_t> neighbours;
    for (size_t k = 0; k < count; ++k) {
        for (int bit = 0; bit < 32; ++bit) {
            const uint32_t w = ids[k] ^ (1u << bit);
            if (std::find(ids, ids + count, w) == ids + count) neighbours.push_back(w);
        }
    }
    const size_t words = 3 * BUF / 4 + 5;
    Bytes image(words * 4);
    for (size_t w = 0; w < words; ++w) {
        PutBigEndian32(&image, w * 4, neighbours[(w * 7) % neighbours.size()]);
    }
    const std::pair<size_t, BlockId> placed[] = {
        {0x40, ids[0]}, {0x44, ids[5]}, {BUF + 0x3C, ids[3]}, {2 * BUF + 0x80, ids[7]},
        {2 * BUF + 0x84, ids[7]}};
    for (const auto& p : placed) PutBigEndian32(&image, p.first, p.second);
    const std::string path = MakeFile("near.bin", image);

    WordSearchResult results[16];
    FindBlockWords(path.c_str(), ids, count, results);
    for (size_t k = 0; k < count; ++k) {
        SCOPED_TRACE(k);
        uint64_t matches = 0;
        uint64_t last = 0;
        for (const auto& p : placed) {
            if (p.second == ids[k]) {
                ++matches;
                last = p.first;
            }
        }
        EXPECT_EQ(results[k].found, matches > 0);
        EXPECT_EQ(results[k].matches, matches);
        EXPECT_EQ(results[k].offset, last);
        const WordSearchResult single = FindBlockWord(path.c_str(), ids[k]);
        EXPECT_EQ(single.matches, matches);
        EXPECT_EQ(single.offset, last);
    }
}

}  // namespace
