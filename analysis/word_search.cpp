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

// The fast path tests each word against a few masked patterns instead of every
// identifier: a word passes when (word & mask) == value for some pattern. Each
// identifier passes its own pattern, so no match is missed; groups holding a
// passing word go to the exact word-by-word check. The catalogue's identifiers
// share 22 bits apart from the bootloader's, so eight compares become two.
constexpr size_t MAX_PATTERNS = 4;
// Merging two patterns is worth it while the merged one keeps this many bits:
// random data then passes about once in 64 Ki words.
constexpr int MIN_PATTERN_BITS = 16;

struct WordFilter {
    size_t count;
    bool exact;  // every mask is all ones: plain equality
    uint32_t mask[MAX_PATTERNS];
    uint32_t value[MAX_PATTERNS];
};

struct ScanTargets {
    const BlockId* ids;
    const uint32_t* stored;  // AsStoredWord of each id
    size_t count;
    WordSearchResult* results;
    WordFilter filter;
};

int BitCount(uint32_t v)
{
    int n = 0;
    for (; v != 0; v &= v - 1) {
        ++n;
    }
    return n;
}

// Greedy: start with one exact pattern per identifier, then merge the pair
// whose merged pattern keeps the most bits, while there are too many patterns
// or a merge keeps at least MIN_PATTERN_BITS.
WordFilter BuildFilter(const uint32_t* stored, size_t count)
{
    constexpr size_t MAX_IDS = 64;
    uint32_t mask[MAX_IDS];
    uint32_t value[MAX_IDS];
    size_t n = 0;
    WordFilter f{};
    if (count > MAX_IDS) {
        // Beyond the table: one pattern of the bits all identifiers share.
        uint32_t common = ~0u;
        for (size_t k = 1; k < count; ++k) {
            common &= ~(stored[k] ^ stored[0]);
        }
        f.count = 1;
        f.mask[0] = common;
        f.value[0] = stored[0] & common;
        f.exact = common == ~0u;
        return f;
    }
    for (size_t k = 0; k < count; ++k) {
        mask[n] = ~0u;
        value[n] = stored[k];
        bool known = false;
        for (size_t j = 0; j < n; ++j) {
            known = known || value[j] == stored[k];
        }
        if (!known) {
            ++n;
        }
    }
    while (n > 1) {
        size_t bestI = 0;
        size_t bestJ = 1;
        int bestBits = -1;
        for (size_t i = 0; i < n; ++i) {
            for (size_t j = i + 1; j < n; ++j) {
                const int bits = BitCount(mask[i] & mask[j] & ~(value[i] ^ value[j]));
                if (bits > bestBits) {
                    bestBits = bits;
                    bestI = i;
                    bestJ = j;
                }
            }
        }
        if (n <= MAX_PATTERNS && bestBits < MIN_PATTERN_BITS) {
            break;
        }
        mask[bestI] &= mask[bestJ] & ~(value[bestI] ^ value[bestJ]);
        value[bestI] &= mask[bestI];
        mask[bestJ] = mask[n - 1];
        value[bestJ] = value[n - 1];
        --n;
    }
    f.count = n;
    f.exact = true;
    for (size_t i = 0; i < n; ++i) {
        f.mask[i] = mask[i];
        f.value[i] = value[i];
        f.exact = f.exact && mask[i] == ~0u;
    }
    return f;
}

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

// 32-bit x86 without SSE2 would pass these vectors in memory (GCC warns about
// the ABI); the portable loop below serves it.
#if defined(__GNUC__) && !(defined(__i386__) && !defined(__SSE2__))
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

// Lanes of the group whose words pass the pattern (mask, value).
inline Lanes GroupPasses(const Lanes* g, uint32_t mask, uint32_t value)
{
    const Lanes m = {mask, mask, mask, mask};
    const Lanes v = {value, value, value, value};
    return ((g[0] & m) == v) | ((g[1] & m) == v) | ((g[2] & m) == v) | ((g[3] & m) == v);
}

void ScanGroups(const ScanTargets& t, const uint8_t* data, size_t groups, uint64_t base)
{
    static_assert(GROUP_WORDS == 16, "four lanes of four words");
    const WordFilter& f = t.filter;
    if (f.exact && f.count == 1) {
        // One identifier, the common case of the window's searches.
        const uint32_t v = f.value[0];
        const Lanes want = {v, v, v, v};
        for (size_t i = 0; i < groups; ++i) {
            const uint8_t* p = data + i * GROUP_WORDS * 4;
            const Lanes m = (LoadLanes(p) == want) | (LoadLanes(p + 16) == want) |
                            (LoadLanes(p + 32) == want) | (LoadLanes(p + 48) == want);
            if (AnyLane(m)) {
                RecordMatches(t, p, GROUP_WORDS, base + i * GROUP_WORDS * 4);
            }
        }
        return;
    }
    for (size_t i = 0; i < groups; ++i) {
        const uint8_t* p = data + i * GROUP_WORDS * 4;
        const Lanes g[4] = {LoadLanes(p), LoadLanes(p + 16), LoadLanes(p + 32), LoadLanes(p + 48)};
        Lanes m;
        if (f.exact) {
            m = GroupMatches(g, f.value[0]);
            for (size_t k = 1; k < f.count; ++k) {
                m |= GroupMatches(g, f.value[k]);
            }
        } else {
            m = GroupPasses(g, f.mask[0], f.value[0]);
            for (size_t k = 1; k < f.count; ++k) {
                m |= GroupPasses(g, f.mask[k], f.value[k]);
            }
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
        for (size_t k = 0; k < t.filter.count; ++k) {
            for (size_t w = 0; w < GROUP_WORDS; ++w) {
                hit |= static_cast<uint32_t>((words[w] & t.filter.mask[k]) == t.filter.value[k]);
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
        const ScanTargets targets{ids, stored, count, results, BuildFilter(stored, count)};
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
