// Times the analysis work behind the window's commands, call for call as the
// handlers make them: Open (bootloader search, main-code search, board
// identification), Select (one search, the stamp) and Save (one search, the
// extraction). The window is busy for exactly this long, since the handlers
// run on its only thread. Portable, so it runs as a Windows program too.
//
//   window_commands IMAGE [ROUNDS] [OUTPUT_FOLDER]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "block_extract.h"
#include "block_stamp.h"
#include "board_catalogue.h"
#include "word_search.h"

namespace {

double Milliseconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: window_commands IMAGE [ROUNDS] [OUTPUT_FOLDER]\n");
        return 2;
    }
    const char* image = argv[1];
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 7;
    const char* outDir = argc > 3 ? argv[3] : "";

    std::vector<double> open, select, save;
    uint64_t size = 0;
    for (int r = 0; r < rounds; ++r) {
        auto t0 = std::chrono::steady_clock::now();
        WordSearchResult boot = FindBlockWord(image, BOOTLOADER_ID);
        WordSearchResult main = FindBlockWord(image, MAINCODE_ID);
        int model = main.found ? IdentifyBoard(image, main.offset) : IDENTIFY_NOT_OPENED;
        auto t1 = std::chrono::steady_clock::now();
        if (!boot.found || !IsBoardModel(model)) {
            std::fprintf(stderr, "%s: not an image the window accepts\n", image);
            return 1;
        }
        size = boot.size;

        CatalogueEntry entry;
        CatalogueEntryAt(model, 1, &entry);  // the main code: the largest block
        WordSearchResult found = FindBlockWord(image, entry.id);
        BlockStamp stamp = ReadBlockStamp(image, found.offset);
        auto t2 = std::chrono::steady_clock::now();

        WordSearchResult again = FindBlockWord(image, entry.id);
        ExtractResult saved = ExtractBlockInto(outDir, image, entry.name,
                                               ExtensionForBlock(entry.name), again.offset);
        auto t3 = std::chrono::steady_clock::now();
        if (!stamp.opened || (saved.status != EXTRACT_WRITTEN && saved.status != EXTRACT_CUT_AT_END)) {
            std::fprintf(stderr, "%s: select or save failed (%s)\n", image,
                         ExtractStatusText(saved.status));
            return 1;
        }
        open.push_back(Milliseconds(t1 - t0));
        select.push_back(Milliseconds(t2 - t1));
        save.push_back(Milliseconds(t3 - t2));
    }
    std::printf("%10llu bytes  Open %8.2f ms  Select %8.2f ms  Save main code %8.2f ms  (medians of %d)\n",
                static_cast<unsigned long long>(size), Median(open), Median(select), Median(save),
                rounds);
    return 0;
}
