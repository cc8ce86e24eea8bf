// The one reader of header fields: bounds-checked, big-endian, and the bounded
// copy of the fixed-length stamp texts. Everything read from an image header
// goes through these two functions.
#pragma once

#include <cstddef>
#include <cstdint>

// Reads `width` (1 to 4) bytes at `offset` of `data[0..size)` as a big-endian
// number. False, and *out untouched, when the field does not lie wholly inside.
inline bool ReadBigEndian(const uint8_t* data, size_t size, size_t offset, unsigned width,
                          uint32_t* out)
{
    if (width == 0 || width > 4 || offset > size || size - offset < width) {
        return false;
    }
    uint32_t value = 0;
    for (unsigned i = 0; i < width; ++i) {
        // Widen each byte before shifting: a promoted int shifted into its sign
        // bit is undefined.
        value = (value << 8) | static_cast<uint32_t>(data[offset + i]);
    }
    *out = value;
    return true;
}

// Copies the text field of `fieldLen` bytes at `offset` into `out`, which holds
// fieldLen + 1 bytes: up to the first NUL, or up to the end of the available
// bytes when the field is cut short. `out` always ends with a NUL.
inline void CopyFieldText(const uint8_t* data, size_t size, size_t offset, size_t fieldLen,
                          char* out)
{
    size_t n = 0;
    if (offset < size) {
        const size_t available = size - offset;
        const size_t limit = available < fieldLen ? available : fieldLen;
        while (n < limit && data[offset + n] != 0) {
            out[n] = static_cast<char>(data[offset + n]);
            ++n;
        }
    }
    out[n] = '\0';
}
