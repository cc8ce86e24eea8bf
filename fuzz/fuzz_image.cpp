// Arbitrary bytes as an image file, through every analysis operation in the
// window's order: accept, identify, list, read stamps, extract every
// catalogue block. Each answer is checked against a plain in-memory reading
// of the same bytes; any disagreement aborts.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "block_extract.h"
#include "block_stamp.h"
#include "board_catalogue.h"
#include "fuzz_support.h"
#include "word_search.h"

namespace {

struct Scratch {
    std::string folder;
    std::string image;
    std::string out;
};

const Scratch& ScratchFolder();

void RemoveScratch()
{
    const Scratch& s = ScratchFolder();
    unlink(s.image.c_str());
    rmdir(s.out.c_str());
    rmdir(s.folder.c_str());
}

const Scratch& ScratchFolder()
{
    static Scratch s = [] {
        Scratch made;
        // Every save flushes to disk: memory-backed folders keep runs fast.
        std::string folder = ScratchBase();
        folder += "/korvanta-fuzz-image-XXXXXX";
        CHECK(mkdtemp(&folder[0]) != nullptr);
        made.folder = folder;
        made.image = made.folder + "/image.bin";
        made.out = made.folder + "/out";
        CHECK(mkdir(made.out.c_str(), 0755) == 0);
        std::atexit(RemoveScratch);
        return made;
    }();
    return s;
}

std::vector<uint8_t> ReadAll(const std::string& path, bool* exists)
{
    std::vector<uint8_t> bytes;
    FILE* f = std::fopen(path.c_str(), "rb");
    *exists = f != nullptr;
    if (f) {
        uint8_t buf[4096];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) {
            bytes.insert(bytes.end(), buf, buf + n);
        }
        std::fclose(f);
    }
    return bytes;
}

std::vector<std::string> Entries(const std::string& folder)
{
    std::vector<std::string> names;
    DIR* d = opendir(folder.c_str());
    CHECK(d != nullptr);
    while (dirent* e = readdir(d)) {
        if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) {
            names.push_back(e->d_name);
        }
    }
    closedir(d);
    return names;
}

// The search as the rule states it, word by word over the bytes in memory.
WordSearchResult Reference(const uint8_t* data, size_t size, BlockId id)
{
    WordSearchResult r{true, size, false, 0, 0};
    const size_t words = size / 4;
    for (size_t w = 0; words > 1 && w < words - 1; ++w) {
        const uint8_t* p = data + 4 * w;
        const uint32_t v = (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
        if (v == id) {
            r.found = true;
            r.offset = 4 * w;
            ++r.matches;
        }
    }
    return r;
}

void CheckSearch(const WordSearchResult& got, const uint8_t* data, size_t size, BlockId id)
{
    const WordSearchResult want = Reference(data, size, id);
    CHECK(got.opened);
    CHECK(got.size == size);
    CHECK(got.found == want.found);
    CHECK(got.offset == want.offset);
    CHECK(got.matches == want.matches);
    if (got.found) {
        // An aligned word that is the identifier, before the last whole word.
        CHECK(got.offset % 4 == 0);
        CHECK(got.offset + 8 <= size);
        const uint8_t* p = data + got.offset;
        CHECK(((uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3]) == id);
    }
}

std::string ExpectedText(const uint8_t* data, size_t size, uint64_t at)
{
    std::string text;
    for (uint64_t i = 0; i < 16 && at + i < size && data[at + i] != 0; ++i) {
        text.push_back(static_cast<char>(data[at + i]));
    }
    return text;
}

void CheckBlock(const uint8_t* data, size_t size, const CatalogueEntry& entry, uint64_t offset)
{
    const Scratch& s = ScratchFolder();
    const BlockStamp stamp = ReadBlockStamp(s.image.c_str(), offset);
    CHECK(stamp.opened);
    CHECK(ExpectedText(data, size, offset + 32) == stamp.version);
    CHECK(ExpectedText(data, size, offset + 48) == stamp.date);

    const bool extentInside = offset + 12 <= size;
    uint32_t extent = 0;
    if (extentInside) {
        const uint8_t* p = data + offset + 8;
        extent = (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
    }
    const BlockExtent e = ReadBlockExtent(s.image.c_str(), offset);
    CHECK(e.status == (extentInside ? EXTENT_READ : EXTENT_UNREADABLE));
    CHECK(!extentInside || e.extent == extent);

    const char* ext = ExtensionForBlock(entry.name);
    const ExtractResult r = ExtractBlockInto(s.out.c_str(), s.image.c_str(), entry.name, ext, offset);
    const std::string file = std::string(entry.name) + ext;
    CHECK(file == r.reportedName);
    bool exists = false;
    const std::vector<uint8_t> written = ReadAll(s.out + "/" + file, &exists);
    if (!extentInside) {
        CHECK(r.status == EXTRACT_EXTENT_UNREADABLE);
        CHECK(!exists);
        return;
    }
    const uint64_t available = size - offset;
    const uint64_t expected = extent < available ? extent : available;
    CHECK(r.status == (extent <= available ? EXTRACT_WRITTEN : EXTRACT_CUT_AT_END));
    CHECK(r.extent == extent);
    CHECK(r.bytesWritten == expected);
    CHECK(exists);
    // Never more than the image holds past the offset, and exactly its bytes.
    CHECK(written.size() == expected);
    CHECK(written.empty() || std::memcmp(written.data(), data + offset, written.size()) == 0);
    CHECK(unlink((s.out + "/" + file).c_str()) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const Scratch& s = ScratchFolder();
    FILE* f = std::fopen(s.image.c_str(), "wb");
    CHECK(f != nullptr);
    CHECK(std::fwrite(data, 1, size, f) == size);
    CHECK(std::fclose(f) == 0);
    const char* image = s.image.c_str();

    // Open: the bootloader word accepts the image, the main-code word locates
    // the header that tells the board.
    const WordSearchResult boot = FindBlockWord(image, BOOTLOADER_ID);
    CheckSearch(boot, data, size, BOOTLOADER_ID);
    const WordSearchResult main = FindBlockWord(image, MAINCODE_ID);
    CheckSearch(main, data, size, MAINCODE_ID);
    int model = IDENTIFY_UNRECOGNISED;
    if (main.found) {
        model = IdentifyBoard(image, main.offset);
        const uint8_t variant = data[main.offset + 24 < size ? main.offset + 24 : 0];
        const int want = main.offset + 24 >= size ? IDENTIFY_UNRECOGNISED
                         : variant == 0x00        ? BOARD_3329B
                         : variant == 'B'         ? BOARD_3329B_DVR_CI
                         : variant == 'C'         ? BOARD_3329C
                                                  : IDENTIFY_UNRECOGNISED;
        CHECK(model == want);
    }
    // The window stops at an unrecognised board; the other catalogue is still
    // worth driving through the remaining operations.
    const BoardModel listed = IsBoardModel(model) ? model : (size % 2 ? BOARD_3329B : BOARD_3329C);

    const int count = CatalogueSize(listed);
    CHECK(count == 7 || count == 8);
    BlockId ids[8];
    CatalogueEntry entries[8];
    for (int i = 0; i < count; ++i) {
        CHECK(CatalogueEntryAt(listed, i, &entries[i]));
        ids[i] = entries[i].id;
    }
    WordSearchResult all[8];
    FindBlockWords(image, ids, static_cast<size_t>(count), all);
    for (int i = 0; i < count; ++i) {
        // Select, then Save, each with its own fresh search.
        const WordSearchResult one = FindBlockWord(image, ids[i]);
        CheckSearch(one, data, size, ids[i]);
        CHECK(all[i].found == one.found && all[i].offset == one.offset &&
              all[i].matches == one.matches && all[i].size == one.size);
        if (one.found) {
            CheckBlock(data, size, entries[i], one.offset);
        }
    }
    // The one-pass search with identifiers taken from the input itself (its
    // first words, each also with its lowest bit flipped), so the fast path's
    // grouping of identifiers meets arbitrary sets.
    BlockId own[16];
    size_t ownCount = 0;
    for (size_t w = 0; w + 4 <= size && ownCount + 2 <= 16; w += 4) {
        const uint8_t* p = data + w;
        const BlockId id = (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
        own[ownCount++] = id;
        own[ownCount++] = id ^ 1u;
    }
    WordSearchResult ownResults[16];
    FindBlockWords(image, own, ownCount, ownResults);
    for (size_t k = 0; k < ownCount; ++k) {
        CheckSearch(ownResults[k], data, size, own[k]);
    }

    // Saving under the image's own name is refused whatever the header says.
    const ExtractResult self = ExtractBlockInto(s.folder.c_str(), image, "image", ".bin", 0);
    CHECK(self.status == (size >= 12 ? EXTRACT_REFUSED_SAME_FILE : EXTRACT_EXTENT_UNREADABLE));
    CHECK(self.bytesWritten == 0);

    // The image is never touched, and no temporary file is left behind.
    bool exists = false;
    const std::vector<uint8_t> after = ReadAll(image, &exists);
    CHECK(exists && after.size() == size && (size == 0 || std::memcmp(after.data(), data, size) == 0));
    CHECK(Entries(s.out).empty());
    std::vector<std::string> top = Entries(s.folder);
    CHECK(top.size() == 2);
    return 0;
}
