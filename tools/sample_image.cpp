#include "sample_image.h"

#include <cstring>

namespace {

// Share of the flash for each catalogue index, in 64ths; the last two 64ths
// stay erased (0xFF) and hold the duplicate header when one is asked for.
constexpr int SHARES_3329B[7] = {2, 32, 2, 12, 6, 4, 4};
constexpr int SHARES_SHARED[8] = {2, 28, 2, 12, 6, 6, 4, 2};
constexpr int SHARE_UNITS = 64;

struct Stamp {
    const char* version;
    const char* date;
};

// By catalogue index; the ALI-3329B has no "logo_radio", so its entries from
// index 5 on are the shared table's from index 6 on.
constexpr Stamp STAMPS_SHARED[8] = {
    {"V1.02.05", "2023-11-02"}, {"V2.13.07", "2024-03-18"}, {"V1.00.03", "2022-06-30"},
    {"V3.4.1", "2024-01-09"},   {"V1.1.0", "2023-08-21"},   {"V1.0.2", "2023-08-21"},
    {"DB 7.2", "2024-02-27"},   {"USR 1.0", "2021-12-01"},
};

constexpr uint32_t HEADER_FORMAT_WORD = 0x00000001u;  // the uninterpreted word at offset 4

const int* SharesOf(BoardModel model)
{
    return model == BOARD_3329B ? SHARES_3329B : SHARES_SHARED;
}

Stamp StampOf(BoardModel model, int index)
{
    if (model == BOARD_3329B && index >= 5) {
        return STAMPS_SHARED[index + 1];
    }
    return STAMPS_SHARED[index];
}

uint8_t VariantByteOf(BoardModel model)
{
    return model == BOARD_3329B ? 0x00 : model == BOARD_3329B_DVR_CI ? 'B' : 'C';
}

void PutBigEndian(uint8_t* p, uint32_t value)
{
    p[0] = static_cast<uint8_t>(value >> 24);
    p[1] = static_cast<uint8_t>(value >> 16);
    p[2] = static_cast<uint8_t>(value >> 8);
    p[3] = static_cast<uint8_t>(value);
}

void PutText(uint8_t* field, const char* text)
{
    const size_t n = std::strlen(text);
    std::memcpy(field, text, n < STAMP_TEXT_LEN ? n : STAMP_TEXT_LEN);
}

bool IsOmitted(const SampleOptions& options, int index)
{
    for (int i = 0; i < options.omitCount && i < SAMPLE_MAX_CHANGES; ++i) {
        if (options.omit[i] == index) {
            return true;
        }
    }
    return false;
}

void WriteHeader(uint8_t* p, const SampleBlock& block, int variantByte)
{
    PutBigEndian(p + ID_FIELD, block.id);
    PutBigEndian(p + 4, HEADER_FORMAT_WORD);
    PutBigEndian(p + EXTENT_FIELD, block.extent);
    if (variantByte >= 0) {
        p[VARIANT_FIELD] = static_cast<uint8_t>(variantByte);
    }
    PutText(p + VERSION_FIELD, block.version);
    PutText(p + DATE_FIELD, block.date);
}

}  // namespace

SampleOptions DefaultSampleOptions(BoardModel model)
{
    SampleOptions options;
    std::memset(&options, 0, sizeof options);
    options.model = model;
    options.size = model == BOARD_3329B ? 2u * 1024 * 1024 : 4u * 1024 * 1024;
    options.duplicate = -1;
    options.variantByte = -1;
    options.truncateAt = SAMPLE_NO_TRUNCATION;
    return options;
}

int PlanSampleImage(const SampleOptions& options, SampleBlock* blocks)
{
    const int count = CatalogueSize(options.model);
    if (count == 0 || options.size < 8 * 1024 || options.size % 1024 != 0 ||
        options.size > (uint64_t{1} << 32) || options.omitCount < 0 ||
        options.omitCount > SAMPLE_MAX_CHANGES || options.extentCount < 0 ||
        options.extentCount > SAMPLE_MAX_CHANGES || options.duplicate >= count ||
        options.variantByte > 255) {
        return 0;
    }
    const uint64_t unit = options.size / SHARE_UNITS;
    const int* shares = SharesOf(options.model);
    uint64_t offset = 0;
    for (int i = 0; i < count; ++i) {
        CatalogueEntry entry;
        CatalogueEntryAt(options.model, i, &entry);
        const uint64_t slot = unit * static_cast<uint64_t>(shares[i]);
        const Stamp stamp = StampOf(options.model, i);
        // Three quarters of the slot used, 16-byte aligned; erased flash after it.
        blocks[i] = SampleBlock{entry.name, entry.id, offset,
                                static_cast<uint32_t>((slot * 3 / 4) & ~uint64_t{15}),
                                stamp.version, stamp.date, !IsOmitted(options, i)};
        offset += slot;
    }
    for (int i = 0; i < options.extentCount; ++i) {
        const SampleExtentOverride& o = options.extents[i];
        if (o.index < 0 || o.index >= count) {
            return 0;
        }
        blocks[o.index].extent = o.extent;
    }
    return count;
}

uint64_t SampleDuplicateOffset(const SampleOptions& options)
{
    return options.size - 2 * (options.size / SHARE_UNITS);
}

bool BuildSampleImage(const SampleOptions& options, std::vector<uint8_t>* image)
{
    image->clear();
    SampleBlock blocks[SAMPLE_MAX_BLOCKS];
    const int count = PlanSampleImage(options, blocks);
    if (count == 0) {
        return false;
    }
    // Bodies keep their planned length even when a header's extent is
    // overridden: a bogus extent does not move the data.
    SampleBlock planned[SAMPLE_MAX_BLOCKS];
    SampleOptions plain = options;
    plain.extentCount = 0;
    PlanSampleImage(plain, planned);

    image->assign(static_cast<size_t>(options.size), 0xFF);
    uint8_t* base = image->data();
    for (int i = 0; i < count; ++i) {
        const SampleBlock& b = blocks[i];
        if (!b.present) {
            continue;
        }
        const uint64_t bodyEnd = b.offset + planned[i].extent;

        uint8_t* p = base + b.offset;
        std::memset(p, 0, BLOCK_HEADER_LEN);
        const int variant = i == 1 ? (options.variantByte >= 0 ? options.variantByte
                                                               : VariantByteOf(options.model))
                                   : -1;
        WriteHeader(p, b, variant);
        for (uint64_t at = b.offset + BLOCK_HEADER_LEN; at < bodyEnd; ++at) {
            const uint64_t k = at - b.offset;
            // Low-entropy text-like pattern: compresses well, never 0x00..0x3F.
            base[at] = static_cast<uint8_t>(0x40 + ((k * 7 + static_cast<uint64_t>(i) * 13 +
                                                     (k >> 8)) & 0x3F));
        }
    }
    if (options.duplicate >= 0 && blocks[options.duplicate].present) {
        const uint64_t at = SampleDuplicateOffset(options);
        std::memset(base + at, 0, BLOCK_HEADER_LEN);
        const int variant = options.duplicate == 1 ? (options.variantByte >= 0
                                                          ? options.variantByte
                                                          : VariantByteOf(options.model))
                                                   : -1;
        SampleBlock copy = blocks[options.duplicate];
        copy.extent = BLOCK_HEADER_LEN;  // the copy is just a header
        copy.version = "copy";
        WriteHeader(base + at, copy, variant);
    }
    if (options.truncateAt < image->size()) {
        image->resize(static_cast<size_t>(options.truncateAt));
    }
    return true;
}
