#include "cli_options.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

ParseStatus Fail(char* err, size_t errLen, const char* format, ...) {
    if (err && errLen > 0) {
        va_list args;
        va_start(args, format);
        vsnprintf(err, errLen, format, args);
        va_end(args);
    }
    return PARSE_USAGE_ERROR;
}

bool Equal(const char* a, const char* b) { return std::strcmp(a, b) == 0; }

bool StartsWith(const char* text, const char* prefix) {
    return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

const char* CommandName(CliCommand command) {
    switch (command) {
    case CLI_INFO: return "info";
    case CLI_EXTRACT: return "extract";
    case CLI_NO_COMMAND: break;
    }
    return "";
}

}  // namespace

const char* GeneralUsage() {
    return "Usage: korvanta-cli info IMAGE [--json]\n"
           "       korvanta-cli extract IMAGE BLOCK... [-o DIR]\n"
           "       korvanta-cli extract IMAGE --all [-o DIR]\n"
           "       korvanta-cli --help | --version\n"
           "       korvanta-cli COMMAND --help\n";
}

const char* CommandUsage(CliCommand command) {
    switch (command) {
    case CLI_INFO:
        return "Usage: korvanta-cli info IMAGE [--json]\n"
               "Checks a firmware image, tells its board variant and lists every block of\n"
               "the variant's catalogue: offset, extent, version and date.\n"
               "  --json            print one JSON object instead of the table\n"
               "Exit codes: 0 the image is accepted, 1 it is rejected, 2 usage error.\n";
    case CLI_EXTRACT:
        return "Usage: korvanta-cli extract IMAGE BLOCK... [-o DIR]\n"
               "       korvanta-cli extract IMAGE --all [-o DIR]\n"
               "Saves blocks, header included, as NAME.bin (bootloader.abs for the\n"
               "bootloader).\n"
               "  --all             every catalogue block found in the image\n"
               "  -o, --output DIR  folder to write into (default: the current folder)\n"
               "Exit codes: 0 every block written, 1 the image is rejected, 2 usage error,\n"
               "3 some block could not be written.\n";
    case CLI_NO_COMMAND:
        break;
    }
    return GeneralUsage();
}

ParseStatus ParseCommandLine(int argc, char** argv, CliOptions* out, char* err, size_t errLen) {
    if (err && errLen > 0) err[0] = '\0';
    if (!out) return Fail(err, errLen, "no place for the options");
    std::memset(out, 0, sizeof *out);
    out->command = CLI_NO_COMMAND;

    bool seenCommand = false;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (!arg) return Fail(err, errLen, "missing argument %d", i);

        if (!optionsEnded && arg[0] == '-' && arg[1] != '\0') {
            if (Equal(arg, "--")) {
                optionsEnded = true;
            } else if (Equal(arg, "--help") || Equal(arg, "-h")) {
                out->help = true;
            } else if (Equal(arg, "--version")) {
                out->version = true;
            } else if (Equal(arg, "--json")) {
                out->json = true;
            } else if (Equal(arg, "--all")) {
                out->all = true;
            } else if (Equal(arg, "-o") || Equal(arg, "--output") || StartsWith(arg, "--output=")) {
                const char* value = nullptr;
                if (StartsWith(arg, "--output=")) {
                    value = arg + std::strlen("--output=");
                } else if (i + 1 < argc && argv[i + 1]) {
                    value = argv[++i];
                } else {
                    return Fail(err, errLen, "%s needs a folder name", arg);
                }
                if (out->outputDir) return Fail(err, errLen, "the output folder is given twice");
                if (value[0] == '\0') return Fail(err, errLen, "the output folder name is empty");
                out->outputDir = value;
            } else {
                return Fail(err, errLen, "unknown option '%s'", arg);
            }
            continue;
        }

        if (!seenCommand) {
            seenCommand = true;
            if (Equal(arg, "info")) {
                out->command = CLI_INFO;
            } else if (Equal(arg, "extract")) {
                out->command = CLI_EXTRACT;
            } else {
                return Fail(err, errLen, "unknown command '%s'", arg);
            }
        } else if (!out->image) {
            out->image = arg;
        } else if (out->command == CLI_INFO) {
            return Fail(err, errLen, "info takes one image, got another operand '%s'", arg);
        } else if (out->blockCount >= CLI_MAX_BLOCKS) {
            return Fail(err, errLen, "more than %d block names", CLI_MAX_BLOCKS);
        } else {
            out->blocks[out->blockCount++] = arg;
        }
    }

    if (out->help || out->version) return PARSE_OK;

    if (out->command == CLI_NO_COMMAND) return Fail(err, errLen, "no command given");
    const char* name = CommandName(out->command);
    if (!out->image) return Fail(err, errLen, "%s needs an IMAGE", name);
    if (out->image[0] == '\0') return Fail(err, errLen, "the image name is empty");

    if (out->command == CLI_INFO) {
        if (out->all) return Fail(err, errLen, "--all belongs to extract, not info");
        if (out->outputDir) return Fail(err, errLen, "-o belongs to extract, not info");
    } else {
        if (out->json) return Fail(err, errLen, "--json belongs to info, not extract");
        if (out->all && out->blockCount > 0)
            return Fail(err, errLen, "give either block names or --all, not both");
        if (!out->all && out->blockCount == 0)
            return Fail(err, errLen, "extract needs block names or --all");
        for (int b = 0; b < out->blockCount; ++b) {
            if (out->blocks[b][0] == '\0') return Fail(err, errLen, "a block name is empty");
        }
    }
    return PARSE_OK;
}
