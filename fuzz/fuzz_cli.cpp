// Arbitrary bytes through korvanta-cli's argument parser and JSON writer:
// NUL-separated arguments for the parser, every argument and the whole input
// as JSON strings, and the input as an image whose info report must be JSON.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "cli_options.h"
#include "fuzz_support.h"
#include "image_report.h"
#include "json_writer.h"

namespace {

int HexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Decodes a string literal written by the rule: printable ASCII as is, \" and
// \\, every other byte \u00XX. False for anything else.
bool DecodeJsonString(const std::string& json, size_t* pos, std::string* bytes)
{
    size_t i = *pos;
    if (i >= json.size() || json[i] != '"') return false;
    ++i;
    while (i < json.size() && json[i] != '"') {
        const unsigned char c = static_cast<unsigned char>(json[i]);
        if (c < 0x20 || c > 0x7E) return false;
        if (c != '\\') {
            bytes->push_back(static_cast<char>(c));
            ++i;
            continue;
        }
        if (i + 1 >= json.size()) return false;
        const char e = json[i + 1];
        if (e == '"' || e == '\\') {
            bytes->push_back(e);
            i += 2;
        } else if (e == 'u' && i + 5 < json.size() && json[i + 2] == '0' && json[i + 3] == '0') {
            const int hi = HexDigit(json[i + 4]);
            const int lo = HexDigit(json[i + 5]);
            if (hi < 0 || lo < 0) return false;
            bytes->push_back(static_cast<char>(hi * 16 + lo));
            i += 6;
        } else {
            return false;
        }
    }
    if (i >= json.size()) return false;
    *pos = i + 1;
    return true;
}

// A small strict JSON value parser, enough to tell a report is well formed.
bool ParseValue(const std::string& j, size_t* p, int depth);

void SkipSpace(const std::string& j, size_t* p)
{
    while (*p < j.size() && (j[*p] == ' ' || j[*p] == '\n' || j[*p] == '\t' || j[*p] == '\r')) ++*p;
}

bool ParseLiteral(const std::string& j, size_t* p, const char* word)
{
    const size_t n = std::strlen(word);
    if (j.compare(*p, n, word) != 0) return false;
    *p += n;
    return true;
}

bool ParseNumber(const std::string& j, size_t* p)
{
    const size_t start = *p;
    if (*p < j.size() && j[*p] == '-') ++*p;
    while (*p < j.size() && j[*p] >= '0' && j[*p] <= '9') ++*p;
    return *p > start && j[*p - 1] != '-';
}

bool ParseValue(const std::string& j, size_t* p, int depth)
{
    if (depth > 32) return false;
    SkipSpace(j, p);
    if (*p >= j.size()) return false;
    const char c = j[*p];
    if (c == '"') {
        std::string ignored;
        return DecodeJsonString(j, p, &ignored);
    }
    if (c == '{' || c == '[') {
        const char close = c == '{' ? '}' : ']';
        ++*p;
        SkipSpace(j, p);
        if (*p < j.size() && j[*p] == close) {
            ++*p;
            return true;
        }
        for (;;) {
            if (c == '{') {
                SkipSpace(j, p);
                std::string key;
                if (!DecodeJsonString(j, p, &key)) return false;
                SkipSpace(j, p);
                if (*p >= j.size() || j[*p] != ':') return false;
                ++*p;
            }
            if (!ParseValue(j, p, depth + 1)) return false;
            SkipSpace(j, p);
            if (*p >= j.size()) return false;
            if (j[*p] == ',') {
                ++*p;
                continue;
            }
            if (j[*p] != close) return false;
            ++*p;
            return true;
        }
    }
    return ParseLiteral(j, p, "true") || ParseLiteral(j, p, "false") || ParseLiteral(j, p, "null") ||
           ParseNumber(j, p);
}

void CheckJsonString(const char* bytes, size_t length)
{
    std::string json;
    AppendJsonString(&json, bytes, length);
    size_t pos = 0;
    std::string back;
    CHECK(DecodeJsonString(json, &pos, &back));
    CHECK(pos == json.size());
    CHECK(back == std::string(bytes, length));
}

// Option values point into the arguments (`--output=DIR` at the text after '=').
bool PointsIntoAnArgument(const char* p, char** argv, int argc)
{
    for (int i = 0; i < argc; ++i) {
        if (p >= argv[i] && p <= argv[i] + std::strlen(argv[i])) return true;
    }
    return false;
}

std::string g_folder;
std::string g_image;

void RemoveScratch()
{
    unlink(g_image.c_str());
    rmdir(g_folder.c_str());
}

const std::string& ImagePath()
{
    if (g_image.empty()) {
        g_folder = ScratchBase();
        g_folder += "/korvanta-fuzz-cli-XXXXXX";
        CHECK(mkdtemp(&g_folder[0]) != nullptr);
        g_image = g_folder + "/image.bin";
        std::atexit(RemoveScratch);
    }
    return g_image;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Arguments: the program name, then the input split at NUL bytes.
    std::vector<std::string> args{"korvanta-cli"};
    std::string current;
    for (size_t i = 0; i < size && args.size() < 200; ++i) {
        if (data[i] == 0) {
            args.push_back(current);
            current.clear();
        } else {
            current.push_back(static_cast<char>(data[i]));
        }
    }
    if (!current.empty()) args.push_back(current);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    const int argc = static_cast<int>(args.size());

    // The error buffer's length varies with the input; bytes past it must stay.
    char err[160];
    std::memset(err, 0x5A, sizeof err);
    const size_t errLen = 1 + size % 128;
    CliOptions options;
    const ParseStatus status = ParseCommandLine(argc, argv.data(), &options, err, errLen);
    CHECK(std::memchr(err, 0, errLen) != nullptr);
    for (size_t i = errLen; i < sizeof err; ++i) CHECK(err[i] == 0x5A);
    CHECK(status == PARSE_OK || status == PARSE_USAGE_ERROR);
    if (status == PARSE_OK) {
        CHECK(options.command == CLI_NO_COMMAND || options.command == CLI_INFO ||
              options.command == CLI_EXTRACT);
        CHECK(options.blockCount >= 0 && options.blockCount <= CLI_MAX_BLOCKS);
        CHECK(options.image == nullptr || PointsIntoAnArgument(options.image, argv.data(), argc));
        CHECK(options.outputDir == nullptr || PointsIntoAnArgument(options.outputDir, argv.data(), argc));
        for (int b = 0; b < options.blockCount; ++b) {
            CHECK(PointsIntoAnArgument(options.blocks[b], argv.data(), argc));
        }
    }
    CHECK(std::strlen(GeneralUsage()) > 0);

    for (const std::string& a : args) CheckJsonString(a.data(), a.size());
    CheckJsonString(reinterpret_cast<const char*>(data), size);

    // The same bytes as an image: its report must be well-formed JSON.
    FILE* f = std::fopen(ImagePath().c_str(), "wb");
    CHECK(f != nullptr);
    CHECK(std::fwrite(data, 1, size, f) == size);
    CHECK(std::fclose(f) == 0);
    static ImageReport report;
    AnalyseImage(ImagePath().c_str(), &report);
    CHECK(report.size == size);
    std::string json;
    FormatInfoJson(report, &json);
    size_t pos = 0;
    CHECK(ParseValue(json, &pos, 0));
    SkipSpace(json, &pos);
    CHECK(pos == json.size());
    std::string text;
    FormatInfoText(report, &text);
    CHECK(!text.empty());
    return 0;
}
