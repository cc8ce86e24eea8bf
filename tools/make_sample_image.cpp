// make_sample_image: writes a synthetic flash image of one board variant.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "sample_image.h"

namespace {

const char USAGE[] =
    "usage: make_sample_image [options] OUTPUT\n"
    "Writes a synthetic flash image: the bootloader block at 0, the main-code\n"
    "block with its variant byte, every other block of the variant's catalogue\n"
    "with a header (id, extent, version and date texts), pattern payloads and\n"
    "erased (0xFF) flash between them.\n"
    "\n"
    "  --model B|DVR|C        board variant: ALI-3329B, ALI-3329B DVR CI, ALI-3329C\n"
    "                         (default B)\n"
    "  --size BYTES           image size, a multiple of 1024, at least 8192\n"
    "                         (default 2097152 for B, 4194304 for the others)\n"
    "  --omit NAME            leave the block out (repeatable)\n"
    "  --extent NAME=VALUE    write VALUE (decimal or 0x hex) as the block's extent\n"
    "                         (repeatable); the data stays where it was\n"
    "  --duplicate NAME       copy the block's header again near the image end,\n"
    "                         with the version text \"copy\"\n"
    "  --variant-byte VALUE   write VALUE (0..255) as the main-code variant byte\n"
    "  --truncate BYTES       cut the image to BYTES\n"
    "  --list                 print the blocks' names, offsets and extents\n"
    "  --help                 show this text\n";

bool ParseNumber(const char* text, uint64_t* value)
{
    if (text == nullptr || *text == '\0' || *text == '-') {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    const unsigned long long v = std::strtoull(text, &end, 0);
    if (errno != 0 || *end != '\0') {
        return false;
    }
    *value = v;
    return true;
}

int IndexOfBlock(BoardModel model, const char* name)
{
    for (int i = 0; i < CatalogueSize(model); ++i) {
        CatalogueEntry entry;
        if (CatalogueEntryAt(model, i, &entry) && std::strcmp(entry.name, name) == 0) {
            return i;
        }
    }
    return -1;
}

int Fail(const char* message, const char* detail)
{
    std::fprintf(stderr, "make_sample_image: %s%s%s\n", message, detail ? ": " : "",
                 detail ? detail : "");
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    BoardModel model = BOARD_3329B;
    const char* sizeText = nullptr;
    const char* truncateText = nullptr;
    const char* variantText = nullptr;
    const char* duplicateName = nullptr;
    std::vector<const char*> omitNames;
    std::vector<const char*> extentSpecs;
    const char* output = nullptr;
    bool list = false;

    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (std::strcmp(a, "--help") == 0) {
            std::fputs(USAGE, stdout);
            return 0;
        } else if (std::strcmp(a, "--list") == 0) {
            list = true;
        } else if (std::strcmp(a, "--model") == 0 && hasValue) {
            const char* m = argv[++i];
            if (std::strcmp(m, "B") == 0) {
                model = BOARD_3329B;
            } else if (std::strcmp(m, "DVR") == 0) {
                model = BOARD_3329B_DVR_CI;
            } else if (std::strcmp(m, "C") == 0) {
                model = BOARD_3329C;
            } else {
                return Fail("unknown model", m);
            }
        } else if (std::strcmp(a, "--size") == 0 && hasValue) {
            sizeText = argv[++i];
        } else if (std::strcmp(a, "--omit") == 0 && hasValue) {
            omitNames.push_back(argv[++i]);
        } else if (std::strcmp(a, "--extent") == 0 && hasValue) {
            extentSpecs.push_back(argv[++i]);
        } else if (std::strcmp(a, "--duplicate") == 0 && hasValue) {
            duplicateName = argv[++i];
        } else if (std::strcmp(a, "--variant-byte") == 0 && hasValue) {
            variantText = argv[++i];
        } else if (std::strcmp(a, "--truncate") == 0 && hasValue) {
            truncateText = argv[++i];
        } else if (a[0] == '-' && a[1] != '\0') {
            return Fail("unknown option or missing value", a);
        } else if (output == nullptr) {
            output = a;
        } else {
            return Fail("more than one output", a);
        }
    }

    SampleOptions options = DefaultSampleOptions(model);
    uint64_t number = 0;
    if (sizeText) {
        if (!ParseNumber(sizeText, &number)) {
            return Fail("bad size", sizeText);
        }
        options.size = number;
    }
    if (truncateText) {
        if (!ParseNumber(truncateText, &number)) {
            return Fail("bad truncation", truncateText);
        }
        options.truncateAt = number;
    }
    if (variantText) {
        if (!ParseNumber(variantText, &number) || number > 255) {
            return Fail("bad variant byte", variantText);
        }
        options.variantByte = static_cast<int>(number);
    }
    if (duplicateName && (options.duplicate = IndexOfBlock(model, duplicateName)) < 0) {
        return Fail("no such block in this model", duplicateName);
    }
    if (omitNames.size() > SAMPLE_MAX_CHANGES || extentSpecs.size() > SAMPLE_MAX_CHANGES) {
        return Fail("too many --omit or --extent options", nullptr);
    }
    for (const char* name : omitNames) {
        const int index = IndexOfBlock(model, name);
        if (index < 0) {
            return Fail("no such block in this model", name);
        }
        options.omit[options.omitCount++] = index;
    }
    for (const char* spec : extentSpecs) {
        const char* eq = std::strchr(spec, '=');
        if (eq == nullptr) {
            return Fail("expected NAME=VALUE", spec);
        }
        char name[64];
        const size_t nameLen = static_cast<size_t>(eq - spec);
        if (nameLen >= sizeof name) {
            return Fail("bad extent", spec);
        }
        std::memcpy(name, spec, nameLen);
        name[nameLen] = '\0';
        const int index = IndexOfBlock(model, name);
        if (index < 0 || !ParseNumber(eq + 1, &number) || number > 0xFFFFFFFFu) {
            return Fail("bad extent", spec);
        }
        options.extents[options.extentCount++] = SampleExtentOverride{index,
                                                                      static_cast<uint32_t>(number)};
    }

    std::vector<uint8_t> image;
    if (!BuildSampleImage(options, &image)) {
        return Fail("these options make no image (size?)", nullptr);
    }
    if (list) {
        SampleBlock blocks[SAMPLE_MAX_BLOCKS];
        const int count = PlanSampleImage(options, blocks);
        for (int i = 0; i < count; ++i) {
            std::printf("%-10s 0x%08llx 0x%08lx%s\n", blocks[i].name,
                        static_cast<unsigned long long>(blocks[i].offset),
                        static_cast<unsigned long>(blocks[i].extent),
                        blocks[i].present ? "" : " (omitted)");
        }
    }
    if (output == nullptr) {
        return list ? 0 : Fail("no output file given (see --help)", nullptr);
    }
    FILE* f = std::fopen(output, "wb");
    if (f == nullptr) {
        return Fail("cannot create", output);
    }
    const bool written = std::fwrite(image.data(), 1, image.size(), f) == image.size();
    const bool closed = std::fclose(f) == 0;
    if (!written || !closed) {
        std::remove(output);
        return Fail("cannot write", output);
    }
    return 0;
}
