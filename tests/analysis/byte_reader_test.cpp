#include <cstring>

#include "byte_reader.h"
#include "test_support.h"

namespace {

struct FieldCase {
    size_t size;  // bytes available of {0x81, 0x82, ...}
    size_t offset;
    unsigned width;
    bool fits;
    uint32_t value;
};

// The bytes 0x81.. have their top bit set: shifting a promoted int would
// overflow into the sign bit here.
const FieldCase FIELD_CASES[] = {
    {8, 0, 4, true, 0x81828384u},
    {8, 4, 4, true, 0x85868788u},
    {8, 5, 4, false, 0},
    {8, 7, 1, true, 0x88u},
    {8, 8, 1, false, 0},
    {8, 6, 2, true, 0x8788u},
    {8, 0, 0, false, 0},
    {8, 0, 5, false, 0},
    {0, 0, 1, false, 0},
    {3, 0, 4, false, 0},
    {8, SIZE_MAX - 1, 4, false, 0},  // offset + width would wrap around
};

TEST(ReadBigEndian, ReadsOnlyFieldsThatFitWhole)
{
    uint8_t data[8];
    for (int i = 0; i < 8; ++i) {
        data[i] = static_cast<uint8_t>(0x81 + i);
    }
    for (const FieldCase& c : FIELD_CASES) {
        SCOPED_TRACE(testing::Message() << "size " << c.size << " offset " << c.offset << " width "
                                        << c.width);
        uint32_t value = 0xDEADBEEFu;
        EXPECT_EQ(ReadBigEndian(data, c.size, c.offset, c.width, &value), c.fits);
        EXPECT_EQ(value, c.fits ? c.value : 0xDEADBEEFu);
    }
}

struct TextCase {
    const char* name;
    Bytes field;     // bytes available from the field's start
    std::string text;
};

TEST(CopyFieldText, EndsAtTheFirstNulTheFieldOrTheData)
{
    const TextCase cases[] = {
        {"SixLettersThenNuls", Bytes{'V', '1', '.', '2', '.', '3', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
         "V1.2.3"},
        {"SixteenCharacters", Bytes(16, 'x'), std::string(16, 'x')},
        {"LongerDataStopsAtSixteen", Bytes(20, 'y'), std::string(16, 'y')},
        {"CutByTheEnd", Bytes{'2', '0', '2'}, "202"},
        {"EmptyField", Bytes(16, 0), ""},
        {"NothingAvailable", Bytes{}, ""},
        {"HighBytesKept", Bytes{0xE9, 0xFF, 0x80, 0}, "\xE9\xFF\x80"},
        {"BytesAfterNulIgnored", Bytes{'a', 0, 'b', 'c'}, "a"},
    };
    for (const TextCase& c : cases) {
        SCOPED_TRACE(c.name);
        char out[17];
        std::memset(out, '#', sizeof out);
        CopyFieldText(c.field.data(), c.field.size(), 0, 16, out);
        EXPECT_EQ(std::string(out), c.text);
    }
}

TEST(CopyFieldText, OffsetPastTheDataGivesEmptyText)
{
    const uint8_t data[4] = {'a', 'b', 'c', 'd'};
    char out[17] = "untouched";
    CopyFieldText(data, sizeof data, 4, 16, out);
    EXPECT_STREQ(out, "");
    CopyFieldText(data, sizeof data, 100, 16, out);
    EXPECT_STREQ(out, "");
    CopyFieldText(data, sizeof data, 2, 16, out);
    EXPECT_STREQ(out, "cd");
}

}  // namespace
