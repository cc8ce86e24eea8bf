#include "cli_run.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "block_extract.h"
#include "image_report.h"

#ifndef KORVANTA_VERSION
#define KORVANTA_VERSION "0.0.0"
#endif

namespace {

int UsageError(const char* message, CliCommand command, std::string* err) {
    err->append("korvanta-cli: ").append(message).append("\n");
    err->append(CommandUsage(command));
    return CLI_EXIT_USAGE;
}

void Rejected(const ImageReport& report, std::string* err) {
    err->append("korvanta-cli: ").append(report.path).append(": ");
    err->append(ImageStatusText(report.status)).append("\n");
}

#ifdef _WIN32
constexpr char PATH_SEPARATOR = '\\';
#else
constexpr char PATH_SEPARATOR = '/';
#endif

std::string ShownPath(const char* dir, const char* name) {
    std::string path;
    if (dir) {
        path = dir;
        char last = path.empty() ? '\0' : path.back();
        if (last != '/' && last != '\\') path.push_back(PATH_SEPARATOR);
    }
    return path.append(name);
}

// One block: a line on stdout for the file written or why it was not.
bool ExtractOne(const CliOptions& options, const BlockReport& block, std::string* out,
                std::string* err) {
    const char* extension = ExtensionForBlock(block.name);
    std::string fileName = std::string(block.name) + extension;
    std::string shown = ShownPath(options.outputDir, fileName.c_str());
    if (!block.found) {
        out->append(shown).append("  not written: the block is not in the image\n");
        return false;
    }

    ExtractResult result = ExtractBlockInto(options.outputDir ? options.outputDir : "",
                                            options.image, block.name, extension, block.offset);
    char line[96];
    switch (result.status) {
    case EXTRACT_WRITTEN:
        std::snprintf(line, sizeof line, "  %" PRIu64 " bytes\n", result.bytesWritten);
        out->append(shown).append(line);
        return true;
    case EXTRACT_CUT_AT_END:
        std::snprintf(line, sizeof line, "  %" PRIu64 " bytes (cut at the image end)\n",
                      result.bytesWritten);
        out->append(shown).append(line);
        std::snprintf(line, sizeof line,
                      ": warning: the extent 0x%08" PRIX32
                      " reaches beyond the image; wrote the %" PRIu64 " bytes up to its end\n",
                      result.extent, result.bytesWritten);
        err->append("korvanta-cli: ").append(shown).append(line);
        return true;
    case EXTRACT_IMAGE_NOT_OPENED:
    case EXTRACT_EXTENT_UNREADABLE:
    case EXTRACT_OUTPUT_NOT_WRITTEN:
    case EXTRACT_REFUSED_SAME_FILE:
    case EXTRACT_IMAGE_READ_FAILED:
        break;
    }
    out->append(shown).append("  not written: ").append(ExtractStatusText(result.status));
    out->append("\n");
    err->append("korvanta-cli: ").append(shown).append(": not written: ");
    err->append(ExtractStatusText(result.status)).append("\n");
    return false;
}

}  // namespace

int RunInfo(const CliOptions& options, std::string* out, std::string* err) {
    ImageReport report;
    AnalyseImage(options.image, &report);
    if (options.json) {
        FormatInfoJson(report, out);
    } else {
        FormatInfoText(report, out);
    }
    if (report.status != IMAGE_OK) {
        Rejected(report, err);
        return CLI_EXIT_REJECTED;
    }
    return CLI_EXIT_OK;
}

int RunExtract(const CliOptions& options, std::string* out, std::string* err) {
    ImageReport report;
    AnalyseImage(options.image, &report);
    if (report.status != IMAGE_OK) {
        Rejected(report, err);
        return CLI_EXIT_REJECTED;
    }

    // Every name is checked before anything is written.
    for (int i = 0; i < options.blockCount; ++i) {
        if (FindReportBlock(report, options.blocks[i]) >= 0) continue;
        err->append("korvanta-cli: no block '").append(options.blocks[i]).append("' in the ");
        err->append(ModelText(report.board)).append(" catalogue; the blocks are:");
        for (int b = 0; b < report.blockCount; ++b) {
            err->append(" ").append(report.blocks[b].name);
        }
        err->append("\n").append(CommandUsage(CLI_EXTRACT));
        return CLI_EXIT_USAGE;
    }

    bool allWritten = true;
    if (options.all) {
        for (int b = 0; b < report.blockCount; ++b) {
            const BlockReport& block = report.blocks[b];
            if (!block.found) {
                out->append(block.name).append("  skipped: not in the image\n");
                continue;
            }
            allWritten = ExtractOne(options, block, out, err) && allWritten;
        }
    } else {
        for (int i = 0; i < options.blockCount; ++i) {
            const BlockReport& block = report.blocks[FindReportBlock(report, options.blocks[i])];
            allWritten = ExtractOne(options, block, out, err) && allWritten;
        }
    }
    return allWritten ? CLI_EXIT_OK : CLI_EXIT_NOT_WRITTEN;
}

int RunCli(int argc, char** argv, std::string* out, std::string* err) {
    CliOptions options;
    char message[256];
    if (ParseCommandLine(argc, argv, &options, message, sizeof message) != PARSE_OK) {
        return UsageError(message, options.command, err);
    }
    if (options.help) {
        out->append(CommandUsage(options.command));
        return CLI_EXIT_OK;
    }
    if (options.version) {
        out->append("korvanta-cli " KORVANTA_VERSION "\n");
        return CLI_EXIT_OK;
    }
    if (options.command == CLI_INFO) return RunInfo(options, out, err);
    return RunExtract(options, out, err);
}
