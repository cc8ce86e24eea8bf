// Layout of a firmware image's block header and the identifiers the tool
// searches for. Offsets are relative to the block's identifier word; every
// multi-byte number in an image is big-endian.
#pragma once

#include <cstdint>

typedef uint32_t BlockId;

constexpr BlockId BOOTLOADER_ID = 0xE3000010u;
constexpr BlockId MAINCODE_ID = 0x01FE0101u;

constexpr uint32_t ID_FIELD = 0;        // BlockId of the block, 4 bytes
constexpr uint32_t EXTENT_FIELD = 8;    // bytes in the block, header included, 4 bytes
constexpr uint32_t VARIANT_FIELD = 24;  // board variant, main-code block only, 1 byte
constexpr uint32_t VERSION_FIELD = 32;  // version text, NUL-padded
constexpr uint32_t DATE_FIELD = 48;     // date text, NUL-padded
constexpr uint32_t STAMP_TEXT_LEN = 16;
constexpr uint32_t BLOCK_HEADER_LEN = 64;

static_assert(DATE_FIELD == VERSION_FIELD + STAMP_TEXT_LEN, "date follows version");
static_assert(DATE_FIELD + STAMP_TEXT_LEN == BLOCK_HEADER_LEN, "stamp ends the header");
