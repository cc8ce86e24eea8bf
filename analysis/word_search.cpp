// The scan: one sequential pass over the image through a fixed buffer,
// examining the aligned words 0, 4, ..., 4 * (words - 2).
#include "word_search.h"

#include <cstdlib>
#include <cstring>

#include "byte_reader.h"
#include "image_file.h"

namespace {

// Words compared per step of the fast path; a multiple of every SIMD width.
constexpr size_t GROUP_WORDS = 16;
static_assert(IMAGE_IO_BUFFER % (GROUP_WORDS * 4) == 0, "groups tile the buffer");

// The identifier as the bytes of the file read with a native 32-bit load, so
// the fast path compares raw loads without swapping each word.
uint32_t AsStoredWord(BlockId id)
{
    const unsigned char bytes[4] = {
        static_cast<unsigned char>(id >> 24), static_cast<unsigned char>(id >> 16),
        static_cast<unsigned char>(id >> 8), static_cast<unsigned char>(id)};
    uint32_t word;
    std::memcpy(&word, bytes, sizeof word);
    return word;
}

struct ScanTargets {
    const BlockId* ids;
    const uint32_t* stored;  // AsStoredWord of each id
    size_t count;
    WordSearchResult* results;
};

// Slow path, word by word: records every match among `words` words at `base`.
void RecordMatches(const ScanTargets& t, const uint8_t* data, size_t words, uint64_t base)
{
    for (size_t w = 0; w < words; ++w) {
        uint32_t value = 0;
        ReadBigEndian(data, words * 4, w * 4, 4, &value);
        for (size_t k = 0; k < t.count; ++k) {
            if (value == t.ids[k]) {
                t.results[k].found = true;
                t.results[k].offset = base + w * 4;
                ++t.results[k].matches;
            }
        }
    }
}

#if defined(__GNUC__)
// Four words compared at once; compilers without SIMD lower it to scalar code.
typedef uint32_t Lanes __attribute__((vector_size(16)));

inline Lanes LoadLanes(const uint8_t* p)
{
    Lanes v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

inline bool AnyLane(Lanes m)
{
    uint64_t halves[2];
    std::memcpy(halves, &m, sizeof halves);
    return (halves[0] | halves[1]) != 0;
}

// Lanes of the group (4 x 4 words) equal to `stored`, without a branch per word.
inline Lanes GroupMatches(const Lanes* g, uint32_t stored)
{
    const Lanes t = {stored, stored, stored, stored};
    return (g[0] == t) | (g[1] == t) | (g[2] == t) | (g[3] == t);
}

void ScanGroups(const ScanTargets& t, const uint8_t* data, size_t groups, uint64_t base)
{
    static_assert(GROUP_WORDS == 16, "four lanes of four words");
    for (size_t i = 0; i < groups; ++i) {
        const uint8_t* p = data + i * GROUP_WORDS * 4;
        const Lanes g[4] = {LoadLanes(p), LoadLanes(p + 16), LoadLanes(p + 32), LoadLanes(p + 48)};
        Lanes m = GroupMatches(g, t.stored[0]);
        for (size_t k = 1; k < t.count; ++k) {
            m |= GroupMatches(g, t.stored[k]);
        }
        if (AnyLane(m)) {
            RecordMatches(t, p, GROUP_WORDS, base + i * GROUP_WORDS * 4);
        }
    }
}
#else
void ScanGroups(const ScanTargets& t, const uint8_t* data, size_t groups, uint64_t base)
{
    for (size_t i = 0; i < groups; ++i) {
        const uint8_t* p = data + i * GROUP_WORDS * 4;
        uint32_t words[GROUP_WORDS];
        std::memcpy(words, p, sizeof words);
        uint32_t hit = 0;
        for (size_t k = 0; k < t.count; ++k) {
            for (size_t w = 0; w < GROUP_WORDS; ++w) {
                hit |= static_cast<uint32_t>(words[w] == t.stored[k]);
            }
        }
        if (hit != 0) {
            RecordMatches(t, p, GROUP_WORDS, base + i * GROUP_WORDS * 4);
        }
    }
}
#endif

// Fast path over whole groups, then the remaining words one by one.
void ScanChunk(const ScanTargets& t, const uint8_t* data, size_t words, uint64_t base)
{
    const size_t groups = words / GROUP_WORDS;
    ScanGroups(t, data, groups, base);
    const size_t done = groups * GROUP_WORDS;
    RecordMatches(t, data + done * 4, words - done, base + done * 4);
}

}  // namespace

void FindBlockWords(const char* path, const BlockId* ids, size_t count, WordSearchResult* results)
{
    for (size_t k = 0; k < count; ++k) {
        results[k] = WordSearchResult{false, 0, false, 0, 0};
    }
    if (count == 0) {
        return;
    }
    ImageFile file;
    if (!ImageOpen(path, &file)) {
        return;
    }
    for (size_t k = 0; k < count; ++k) {
        results[k].opened = true;
        results[k].size = file.size;
    }
    // Words examined: all but the last whole word of the file.
    const uint64_t words = file.size / 4;
    const uint64_t examinedEnd = words > 1 ? (words - 1) * 4 : 0;

    // A small image needs no more buffer than its examined words.
    const size_t bufferLen = examinedEnd < IMAGE_IO_BUFFER ? static_cast<size_t>(examinedEnd) + 4
                                                           : IMAGE_IO_BUFFER;
    uint32_t* stored = static_cast<uint32_t*>(std::malloc(count * sizeof(uint32_t)));
    uint8_t* buffer = static_cast<uint8_t*>(std::malloc(bufferLen));
    if (stored == nullptr || buffer == nullptr) {
        // Nothing could be examined: say so rather than report "not found".
        for (size_t k = 0; k < count; ++k) {
            results[k] = WordSearchResult{false, 0, false, 0, 0};
        }
    } else {
        for (size_t k = 0; k < count; ++k) {
            stored[k] = AsStoredWord(ids[k]);
        }
        const ScanTargets targets{ids, stored, count, results};
        uint64_t position = 0;
        while (position < examinedEnd) {
            const uint64_t left = examinedEnd - position;
            const size_t want = left < bufferLen ? static_cast<size_t>(left) : bufferLen;
            size_t got = 0;
            // A read error ends the data like the end of the file: the scan
            // reports what it saw up to there.
            const IoResult io = ImageRead(&file, buffer, want, &got);
            const size_t wordsRead = got / 4;
            ScanChunk(targets, buffer, wordsRead, position);
            position += wordsRead * 4;
            if (io != IO_OK || got < want) {
                break;
            }
        }
    }
    std::free(buffer);
    std::free(stored);
    ImageClose(&file);
}

WordSearchResult FindBlockWord(const char* path, BlockId wanted)
{
    WordSearchResult result;
    FindBlockWords(path, &wanted, 1, &result);
    return result;
}
