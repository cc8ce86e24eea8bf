// In-process throughput of the scan and the copy on images in the page cache,
// each beside the read limit: the same file read through a buffer of the same
// size without looking at a byte.
//
// Images of 4, 64 and 256 MiB are generated once into KORVANTA_BENCH_DIR
// (default /tmp/korvanta-bench) and read once before timing.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "block_extract.h"
#include "board_catalogue.h"
#include "image_file.h"
#include "sample_image.h"
#include "word_search.h"

namespace {

constexpr uint64_t MiB = 1024 * 1024;
constexpr uint64_t EXTRACT_EXTENT_MAX = 32 * MiB;
constexpr int MAINCODE_INDEX = 1;

std::string BenchDir() {
    const char* dir = std::getenv("KORVANTA_BENCH_DIR");
    return dir && dir[0] ? dir : "/tmp/korvanta-bench";
}

// The extraction block: the main code, its extent raised to 32 MiB (or half
// of a smaller image) so the copy is long enough to time.
uint32_t ExtractExtent(uint64_t size) {
    return static_cast<uint32_t>(size / 2 < EXTRACT_EXTENT_MAX ? size / 2 : EXTRACT_EXTENT_MAX);
}

SampleOptions ImageOptions(uint64_t size) {
    SampleOptions options = DefaultSampleOptions(BOARD_3329C);
    options.size = size;
    options.extentCount = 1;
    options.extents[0].index = MAINCODE_INDEX;
    options.extents[0].extent = ExtractExtent(size);
    return options;
}

// Reads the whole file through a buffer of the search's size, allocated per
// call as the search allocates its own; the read limit of every benchmark.
uint64_t ReadWhole(const char* path) {
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    char* buffer = static_cast<char*>(std::malloc(IMAGE_IO_BUFFER));
    uint64_t total = 0;
    while (buffer) {
        ssize_t n = read(fd, buffer, IMAGE_IO_BUFFER);
        if (n <= 0) break;
        total += static_cast<uint64_t>(n);
    }
    std::free(buffer);
    close(fd);
    return total;
}

// Path of the image of `mib` MiB, written on first use and warmed into the cache.
std::string ImagePath(uint64_t mib) {
    std::string dir = BenchDir();
    mkdir(dir.c_str(), 0755);
    std::string path = dir + "/image-" + std::to_string(mib) + "MiB.bin";
    struct stat st;
    if (stat(path.c_str(), &st) != 0 || static_cast<uint64_t>(st.st_size) != mib * MiB) {
        std::vector<uint8_t> bytes;
        if (!BuildSampleImage(ImageOptions(mib * MiB), &bytes)) return "";
        std::string temp = path + ".part";
        FILE* f = std::fopen(temp.c_str(), "wb");
        if (!f) return "";
        bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
        ok = std::fclose(f) == 0 && ok;
        if (!ok || std::rename(temp.c_str(), path.c_str()) != 0) return "";
    }
    ReadWhole(path.c_str());
    return path;
}

void SetThroughput(benchmark::State& state, uint64_t bytesPerIteration) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytesPerIteration));
}

void BM_ReadLimit(benchmark::State& state) {
    const uint64_t mib = static_cast<uint64_t>(state.range(0));
    std::string path = ImagePath(mib);
    if (path.empty()) return state.SkipWithError("cannot write the image");
    for (auto _ : state) {
        if (ReadWhole(path.c_str()) != mib * MiB) {
            return state.SkipWithError("short read");
        }
    }
    SetThroughput(state, mib * MiB);
}

void BM_SearchOneId(benchmark::State& state) {
    const uint64_t mib = static_cast<uint64_t>(state.range(0));
    std::string path = ImagePath(mib);
    if (path.empty()) return state.SkipWithError("cannot write the image");
    for (auto _ : state) {
        WordSearchResult r = FindBlockWord(path.c_str(), BOOTLOADER_ID);
        if (!r.found || r.offset != 0) return state.SkipWithError("bootloader not at 0");
        benchmark::DoNotOptimize(r);
    }
    SetThroughput(state, mib * MiB);
}

void BM_SearchCatalogue(benchmark::State& state) {
    const uint64_t mib = static_cast<uint64_t>(state.range(0));
    std::string path = ImagePath(mib);
    if (path.empty()) return state.SkipWithError("cannot write the image");
    BlockId ids[SAMPLE_MAX_BLOCKS];
    WordSearchResult results[SAMPLE_MAX_BLOCKS];
    const int count = CatalogueSize(BOARD_3329C);
    for (int i = 0; i < count; ++i) {
        CatalogueEntry entry;
        CatalogueEntryAt(BOARD_3329C, i, &entry);
        ids[i] = entry.id;
    }
    for (auto _ : state) {
        FindBlockWords(path.c_str(), ids, static_cast<size_t>(count), results);
        for (int i = 0; i < count; ++i) {
            if (!results[i].found) return state.SkipWithError("a block is missing");
        }
        benchmark::DoNotOptimize(results);
    }
    SetThroughput(state, mib * MiB);
}

void BM_Extract(benchmark::State& state) {
    const uint64_t mib = static_cast<uint64_t>(state.range(0));
    std::string path = ImagePath(mib);
    if (path.empty()) return state.SkipWithError("cannot write the image");
    SampleBlock blocks[SAMPLE_MAX_BLOCKS];
    PlanSampleImage(ImageOptions(mib * MiB), blocks);
    const SampleBlock& block = blocks[MAINCODE_INDEX];
    std::string outDir = BenchDir() + "/out";
    mkdir(outDir.c_str(), 0755);
    for (auto _ : state) {
        ExtractResult r = ExtractBlockInto(outDir.c_str(), path.c_str(), block.name,
                                           ExtensionForBlock(block.name), block.offset);
        if (r.status != EXTRACT_WRITTEN || r.bytesWritten != block.extent) {
            return state.SkipWithError("extraction failed");
        }
    }
    SetThroughput(state, block.extent);
    state.counters["extent_MiB"] = static_cast<double>(block.extent) / MiB;
}

// The copy limit beside BM_Extract: the same bytes read and written through a
// buffer of the same size, without the temporary file, flush and rename that
// make a save whole-or-nothing.
void BM_CopyLimit(benchmark::State& state) {
    const uint64_t mib = static_cast<uint64_t>(state.range(0));
    std::string path = ImagePath(mib);
    if (path.empty()) return state.SkipWithError("cannot write the image");
    SampleBlock blocks[SAMPLE_MAX_BLOCKS];
    PlanSampleImage(ImageOptions(mib * MiB), blocks);
    const SampleBlock& block = blocks[MAINCODE_INDEX];
    std::string outDir = BenchDir() + "/out";
    mkdir(outDir.c_str(), 0755);
    std::string out = outDir + "/copy-limit.bin";
    std::vector<char> buffer(IMAGE_IO_BUFFER);
    for (auto _ : state) {
        int in = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        int fd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        uint64_t left = block.extent;
        off_t at = static_cast<off_t>(block.offset);
        while (in >= 0 && fd >= 0 && left > 0) {
            size_t want = left < buffer.size() ? static_cast<size_t>(left) : buffer.size();
            ssize_t n = pread(in, buffer.data(), want, at);
            if (n <= 0 || write(fd, buffer.data(), static_cast<size_t>(n)) != n) break;
            left -= static_cast<uint64_t>(n);
            at += n;
        }
        if (in >= 0) close(in);
        if (fd >= 0) close(fd);
        if (left != 0) return state.SkipWithError("copy failed");
    }
    SetThroughput(state, block.extent);
}

#define KORVANTA_SIZES ->Arg(4)->Arg(64)->Arg(256)->Unit(benchmark::kMillisecond)->UseRealTime()
BENCHMARK(BM_ReadLimit) KORVANTA_SIZES;
BENCHMARK(BM_SearchOneId) KORVANTA_SIZES;
BENCHMARK(BM_SearchCatalogue) KORVANTA_SIZES;
BENCHMARK(BM_CopyLimit) KORVANTA_SIZES;
BENCHMARK(BM_Extract) KORVANTA_SIZES;

}  // namespace

BENCHMARK_MAIN();
