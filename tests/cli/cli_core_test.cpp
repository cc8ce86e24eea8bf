// The parser, the JSON writer and the report formats of korvanta-cli, tested
// in-process on plain data.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "cli_options.h"
#include "image_report.h"
#include "json_writer.h"

namespace {

struct ParseCase {
    std::vector<const char*> args;  // without argv[0]
    ParseStatus status;
    CliCommand command;
    const char* image;
    std::vector<std::string> blocks;
    bool json, all, help, version;
    const char* outputDir;
    const char* errPart;  // for PARSE_USAGE_ERROR
};

ParseStatus Parse(const std::vector<const char*>& args, CliOptions* options, char* err,
                  size_t errLen) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>("korvanta-cli"));
    for (const char* a : args) argv.push_back(const_cast<char*>(a));
    argv.push_back(nullptr);
    return ParseCommandLine(static_cast<int>(argv.size() - 1), argv.data(), options, err, errLen);
}

TEST(ParseCommandLine, Table) {
    const ParseCase cases[] = {
        {{"info", "a.bin"}, PARSE_OK, CLI_INFO, "a.bin", {}, false, false, false, false, nullptr, ""},
        {{"info", "a.bin", "--json"}, PARSE_OK, CLI_INFO, "a.bin", {}, true, false, false, false, nullptr, ""},
        {{"--json", "info", "a.bin"}, PARSE_OK, CLI_INFO, "a.bin", {}, true, false, false, false, nullptr, ""},
        {{"info", "--", "--json"}, PARSE_OK, CLI_INFO, "--json", {}, false, false, false, false, nullptr, ""},
        {{"info", "-"}, PARSE_OK, CLI_INFO, "-", {}, false, false, false, false, nullptr, ""},
        {{"extract", "a.bin", "logo", "userdb"}, PARSE_OK, CLI_EXTRACT, "a.bin", {"logo", "userdb"},
         false, false, false, false, nullptr, ""},
        {{"extract", "a.bin", "logo", "-o", "out"}, PARSE_OK, CLI_EXTRACT, "a.bin", {"logo"},
         false, false, false, false, "out", ""},
        {{"-o", "out", "extract", "a.bin", "logo"}, PARSE_OK, CLI_EXTRACT, "a.bin", {"logo"},
         false, false, false, false, "out", ""},
        {{"extract", "--output=o d", "a.bin", "logo"}, PARSE_OK, CLI_EXTRACT, "a.bin", {"logo"},
         false, false, false, false, "o d", ""},
        {{"extract", "a.bin", "--output", "-o", "logo"}, PARSE_OK, CLI_EXTRACT, "a.bin", {"logo"},
         false, false, false, false, "-o", ""},
        {{"extract", "a.bin", "--all"}, PARSE_OK, CLI_EXTRACT, "a.bin", {}, false, true, false, false,
         nullptr, ""},
        {{"extract", "a.bin", "--", "--all"}, PARSE_OK, CLI_EXTRACT, "a.bin", {"--all"}, false,
         false, false, false, nullptr, ""},
        {{"--help"}, PARSE_OK, CLI_NO_COMMAND, nullptr, {}, false, false, true, false, nullptr, ""},
        {{"-h"}, PARSE_OK, CLI_NO_COMMAND, nullptr, {}, false, false, true, false, nullptr, ""},
        {{"extract", "--help"}, PARSE_OK, CLI_EXTRACT, nullptr, {}, false, false, true, false, nullptr, ""},
        {{"--version"}, PARSE_OK, CLI_NO_COMMAND, nullptr, {}, false, false, false, true, nullptr, ""},

        {{}, PARSE_USAGE_ERROR, CLI_NO_COMMAND, nullptr, {}, false, false, false, false, nullptr, "no command"},
        {{"show", "a.bin"}, PARSE_USAGE_ERROR, CLI_NO_COMMAND, nullptr, {}, false, false, false, false,
         nullptr, "unknown command 'show'"},
        {{"info"}, PARSE_USAGE_ERROR, CLI_INFO, nullptr, {}, false, false, false, false, nullptr, "needs an IMAGE"},
        {{"info", ""}, PARSE_USAGE_ERROR, CLI_INFO, "", {}, false, false, false, false, nullptr, "empty"},
        {{"info", "a", "b"}, PARSE_USAGE_ERROR, CLI_INFO, "a", {}, false, false, false, false, nullptr, "one image"},
        {{"info", "a", "--jsn"}, PARSE_USAGE_ERROR, CLI_INFO, "a", {}, false, false, false, false, nullptr,
         "unknown option '--jsn'"},
        {{"info", "a", "--all"}, PARSE_USAGE_ERROR, CLI_INFO, "a", {}, false, true, false, false, nullptr, "--all"},
        {{"info", "a", "-o", "d"}, PARSE_USAGE_ERROR, CLI_INFO, "a", {}, false, false, false, false, "d", "-o"},
        {{"extract", "a"}, PARSE_USAGE_ERROR, CLI_EXTRACT, "a", {}, false, false, false, false, nullptr,
         "block names or --all"},
        {{"extract", "a", "logo", "--all"}, PARSE_USAGE_ERROR, CLI_EXTRACT, "a", {"logo"}, false, true,
         false, false, nullptr, "not both"},
        {{"extract", "a", "logo", "-o"}, PARSE_USAGE_ERROR, CLI_EXTRACT, "a", {"logo"}, false, false,
         false, false, nullptr, "needs a folder"},
        {{"extract", "a", "logo", "--output="}, PARSE_USAGE_ERROR, CLI_EXTRACT, "a", {"logo"}, false,
         false, false, false, nullptr, "empty"},
        {{"extract", "a", "logo", "-o", "x", "-o", "y"}, PARSE_USAGE_ERROR, CLI_EXTRACT, "a", {"logo"},
         false, false, false, false, "x", "twice"},
        {{"extract", "a", "logo", "--json"}, PARSE_USAGE_ERROR, CLI_EXTRACT, "a", {"logo"}, true, false,
         false, false, nullptr, "--json"},
        {{"extract", "a", ""}, PARSE_USAGE_ERROR, CLI_EXTRACT, "a", {""}, false, false, false, false,
         nullptr, "empty"},
    };
    for (const ParseCase& c : cases) {
        std::string shown;
        for (const char* a : c.args) shown.append(" [").append(a).append("]");
        SCOPED_TRACE(shown);
        CliOptions options;
        char err[128];
        std::memset(err, 'x', sizeof err);
        ASSERT_EQ(Parse(c.args, &options, err, sizeof err), c.status);
        if (c.status == PARSE_OK) {
            EXPECT_STREQ(err, "");
        } else {
            EXPECT_NE(std::strstr(err, c.errPart), nullptr) << err;
        }
        EXPECT_EQ(options.command, c.command);
        if (c.image) {
            EXPECT_STREQ(options.image, c.image);
        } else {
            EXPECT_EQ(options.image, nullptr);
        }
        ASSERT_EQ(options.blockCount, static_cast<int>(c.blocks.size()));
        for (size_t b = 0; b < c.blocks.size(); ++b) EXPECT_EQ(options.blocks[b], c.blocks[b]);
        EXPECT_EQ(options.json, c.json);
        EXPECT_EQ(options.all, c.all);
        EXPECT_EQ(options.help, c.help);
        EXPECT_EQ(options.version, c.version);
        if (c.outputDir) {
            EXPECT_STREQ(options.outputDir, c.outputDir);
        } else {
            EXPECT_EQ(options.outputDir, nullptr);
        }
    }
}

TEST(ParseCommandLine, TooManyBlocksIsAnErrorNotAnOverflow) {
    std::vector<std::string> names;
    std::vector<const char*> args = {"extract", "a.bin"};
    for (int i = 0; i <= CLI_MAX_BLOCKS; ++i) names.push_back("b" + std::to_string(i));
    for (const std::string& n : names) args.push_back(n.c_str());
    CliOptions options;
    char err[128];
    EXPECT_EQ(Parse(args, &options, err, sizeof err), PARSE_USAGE_ERROR);
    EXPECT_NE(std::strstr(err, "more than"), nullptr) << err;
    args.pop_back();
    EXPECT_EQ(Parse(args, &options, err, sizeof err), PARSE_OK) << err;
    EXPECT_EQ(options.blockCount, CLI_MAX_BLOCKS);
}

TEST(ParseCommandLine, ErrorBufferIsBoundedAndOptional) {
    CliOptions options;
    char tiny[6];
    std::memset(tiny, 'x', sizeof tiny);
    EXPECT_EQ(Parse({"frobnicate"}, &options, tiny, sizeof tiny), PARSE_USAGE_ERROR);
    EXPECT_EQ(std::strlen(tiny), sizeof tiny - 1);
    EXPECT_EQ(Parse({"frobnicate"}, &options, nullptr, 0), PARSE_USAGE_ERROR);
    EXPECT_EQ(Parse({"info", "a"}, nullptr, tiny, sizeof tiny), PARSE_USAGE_ERROR);
}

TEST(JsonWriter, StringEscapingTable) {
    struct Case {
        std::string bytes;
        const char* json;
    };
    const Case cases[] = {
        {"", "\"\""},
        {"V2.13.07", "\"V2.13.07\""},
        {" ~", "\" ~\""},
        {"a\"b", "\"a\\\"b\""},
        {"a\\b", "\"a\\\\b\""},
        {"/", "\"/\""},
        {std::string("\0", 1), "\"\\u0000\""},
        {"\x01\x1F", "\"\\u0001\\u001F\""},
        {"\n\t\r", "\"\\u000A\\u0009\\u000D\""},
        {"\x7F", "\"\\u007F\""},
        {"\x80\xE9\xFF", "\"\\u0080\\u00E9\\u00FF\""},
        {std::string("x\0y", 3), "\"x\\u0000y\""},
    };
    for (const Case& c : cases) {
        std::string out = "[";
        AppendJsonString(&out, c.bytes.data(), c.bytes.size());
        EXPECT_EQ(out, std::string("[") + c.json) << "bytes: " << c.bytes;
    }
}

TEST(JsonWriter, TextNumbersAndLiterals) {
    std::string out;
    AppendJsonText(&out, "q\"");
    out.push_back(',');
    AppendJsonText(&out, nullptr);
    out.push_back(',');
    AppendJsonUnsigned(&out, 0);
    out.push_back(',');
    AppendJsonUnsigned(&out, 4194304);
    out.push_back(',');
    AppendJsonUnsigned(&out, UINT64_MAX);
    out.push_back(',');
    AppendJsonBool(&out, true);
    out.push_back(',');
    AppendJsonBool(&out, false);
    EXPECT_EQ(out, "\"q\\\"\",null,0,4194304,18446744073709551615,true,false");
}

BlockReport Block(int index, const char* name, BlockId id, bool found, uint64_t matches,
                  uint64_t offset, bool extentKnown, uint32_t extent, bool pastEnd,
                  const char* version, const char* date) {
    BlockReport b;
    std::memset(&b, 0, sizeof b);
    b.index = index;
    b.name = name;
    b.id = id;
    b.found = found;
    b.matches = matches;
    b.offset = offset;
    b.extentKnown = extentKnown;
    b.extent = extent;
    b.pastEnd = pastEnd;
    b.stampKnown = found;
    std::strncpy(b.version, version, STAMP_TEXT_LEN);
    std::strncpy(b.date, date, STAMP_TEXT_LEN);
    return b;
}

ImageReport SmallReport() {
    ImageReport r;
    std::memset(&r, 0, sizeof r);
    r.path = "img.bin";
    r.status = IMAGE_OK;
    r.size = 0x1000;
    r.board = BOARD_3329C;
    r.blocks[0] = Block(0, "bootloader", BOOTLOADER_ID, true, 1, 0, true, 0x80, false, "V1", "2024");
    r.blocks[1] = Block(1, "maincodeC", MAINCODE_ID, true, 3, 0x100, true, 0x2000, true, "V2.13.07\x01", "");
    r.blocks[2] = Block(2, "CAS_data", 0x08F70100, false, 0, 0, false, 0, false, "", "");
    r.blocks[3] = Block(3, "logo", 0x02FD0100, true, 1, 0xFF8, false, 0, false, "", "");
    r.blockCount = 4;
    return r;
}

TEST(FormatInfoText, ColumnsAndMarks) {
    std::string out;
    FormatInfoText(SmallReport(), &out);
    EXPECT_EQ(out,
              "Image:   img.bin\n"
              "Size:    4096 bytes\n"
              "Board:   ALI-3329C\n"
              "\n"
              "#  Name        Id          Offset       Extent       Version       Date\n"
              "0  bootloader  0xE3000010  0x00000000   0x00000080   V1            2024\n"
              "1  maincodeC   0x01FE0101  0x00000100*  0x00002000!  V2.13.07\\x01\n"
              "2  CAS_data    0x08F70100  -            -            -             -\n"
              "3  logo        0x02FD0100  0x00000FF8   ?\n"
              "\n"
              "* maincodeC: the identifier occurs 3 times; the last one is used\n"
              "! the extent reaches beyond the end of the image\n"
              "? the extent field lies beyond the end of the image\n");
}

TEST(FormatInfoText, RejectedImages) {
    struct Case {
        ImageStatus status;
        const char* expected;
    };
    const Case cases[] = {
        {IMAGE_NOT_OPENED, "Image:   x.bin\nStatus:  rejected: cannot be opened for reading\n"},
        {IMAGE_NO_BOOTLOADER,
         "Image:   x.bin\nSize:    7 bytes\n"
         "Status:  rejected: not a firmware image: no bootloader word 0xE3000010\n"},
        {IMAGE_NO_MAINCODE, "Image:   x.bin\nSize:    7 bytes\nStatus:  rejected: no main-code block 0x01FE0101\n"},
        {IMAGE_UNRECOGNISED_VARIANT,
         "Image:   x.bin\nSize:    7 bytes\nStatus:  rejected: unrecognised board variant byte\n"},
    };
    for (const Case& c : cases) {
        ImageReport r;
        std::memset(&r, 0, sizeof r);
        r.path = "x.bin";
        r.status = c.status;
        r.size = c.status == IMAGE_NOT_OPENED ? 0 : 7;
        r.board = BOARD_NONE;
        std::string out;
        FormatInfoText(r, &out);
        EXPECT_EQ(out, c.expected);
    }
}

TEST(FormatInfoJson, Shape) {
    ImageReport r = SmallReport();
    r.blockCount = 4;
    std::string out;
    FormatInfoJson(r, &out);
    EXPECT_EQ(out,
              "{\"image\": \"img.bin\", \"size\": 4096, \"status\": \"ok\", "
              "\"board\": {\"model\": 3, \"name\": \"ALI-3329C\"}, \"blocks\": [\n"
              "  {\"index\": 0, \"name\": \"bootloader\", \"id\": \"0xE3000010\", \"found\": true, "
              "\"matches\": 1, \"offset\": 0, \"extent\": 128, \"past_end\": false, "
              "\"version\": \"V1\", \"date\": \"2024\"},\n"
              "  {\"index\": 1, \"name\": \"maincodeC\", \"id\": \"0x01FE0101\", \"found\": true, "
              "\"matches\": 3, \"offset\": 256, \"extent\": 8192, \"past_end\": true, "
              "\"version\": \"V2.13.07\\u0001\", \"date\": \"\"},\n"
              "  {\"index\": 2, \"name\": \"CAS_data\", \"id\": \"0x08F70100\", \"found\": false, "
              "\"matches\": 0, \"offset\": null, \"extent\": null, \"past_end\": null, "
              "\"version\": null, \"date\": null},\n"
              "  {\"index\": 3, \"name\": \"logo\", \"id\": \"0x02FD0100\", \"found\": true, "
              "\"matches\": 1, \"offset\": 4088, \"extent\": null, \"past_end\": null, "
              "\"version\": \"\", \"date\": \"\"}\n"
              "]}\n");

    const ImageStatus rejected[] = {IMAGE_NOT_OPENED, IMAGE_NO_BOOTLOADER, IMAGE_NO_MAINCODE,
                                    IMAGE_UNRECOGNISED_VARIANT};
    const char* names[] = {"not_opened", "no_bootloader", "no_maincode", "unrecognised_variant"};
    for (int i = 0; i < 4; ++i) {
        ImageReport bad;
        std::memset(&bad, 0, sizeof bad);
        bad.path = "a\"b";
        bad.status = rejected[i];
        bad.size = 12;
        bad.board = BOARD_NONE;
        out.clear();
        FormatInfoJson(bad, &out);
        EXPECT_EQ(out, std::string("{\"image\": \"a\\\"b\", \"size\": 12, \"status\": \"") +
                           names[i] + "\", \"board\": null, \"blocks\": []}\n");
    }
}

}  // namespace
