#include "image_report.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "block_stamp.h"
#include "json_writer.h"
#include "word_search.h"

namespace {

// Every identifier any catalogue uses, the bootloader and main code first.
// Searching for the few a board lacks costs nothing in a single pass.
int CollectIdentifiers(BlockId* ids, int capacity) {
    int count = 0;
    ids[count++] = BOOTLOADER_ID;
    ids[count++] = MAINCODE_ID;
    const BoardModel models[] = {BOARD_3329B, BOARD_3329B_DVR_CI, BOARD_3329C};
    for (BoardModel model : models) {
        for (int i = 0; i < CatalogueSize(model); ++i) {
            CatalogueEntry entry;
            if (!CatalogueEntryAt(model, i, &entry)) continue;
            bool known = false;
            for (int k = 0; k < count; ++k) known = known || ids[k] == entry.id;
            if (!known && count < capacity) ids[count++] = entry.id;
        }
    }
    return count;
}

const WordSearchResult* ResultFor(BlockId id, const BlockId* ids, const WordSearchResult* results,
                                  int count) {
    for (int k = 0; k < count; ++k) {
        if (ids[k] == id) return &results[k];
    }
    return nullptr;
}

void FillBlock(const char* path, uint64_t imageSize, const WordSearchResult& search,
               BlockReport* block) {
    block->found = search.found;
    block->matches = search.matches;
    block->offset = search.found ? search.offset : 0;
    if (!search.found) return;

    BlockExtent extent = ReadBlockExtent(path, search.offset);
    if (extent.status == EXTENT_READ) {
        block->extentKnown = true;
        block->extent = extent.extent;
        // 64-bit sum: an offset near 4 GiB plus an extent near 4 GiB cannot wrap.
        block->pastEnd = search.offset + static_cast<uint64_t>(extent.extent) > imageSize;
    }
    BlockStamp stamp = ReadBlockStamp(path, search.offset);
    if (stamp.opened) {
        block->stampKnown = true;
        std::memcpy(block->version, stamp.version, sizeof block->version);
        std::memcpy(block->date, stamp.date, sizeof block->date);
        block->version[STAMP_TEXT_LEN] = '\0';
        block->date[STAMP_TEXT_LEN] = '\0';
    }
}

// Texts for the table: printable ASCII as it is, every other byte as \xNN, so
// a stamp holding control bytes can neither upset the terminal nor the columns.
std::string Printable(const char* text) {
    static const char HEX[] = "0123456789ABCDEF";
    std::string shown;
    for (const char* p = text; *p; ++p) {
        unsigned char c = static_cast<unsigned char>(*p);
        if (c >= 0x20 && c <= 0x7E && c != '\\') {
            shown.push_back(static_cast<char>(c));
        } else {
            shown += "\\x";
            shown.push_back(HEX[c >> 4]);
            shown.push_back(HEX[c & 0x0F]);
        }
    }
    return shown;
}

std::string Hex(uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%08" PRIX64, value);
    return text;
}

void AppendPadded(std::string* out, const std::string& cell, size_t width) {
    out->append(cell);
    if (cell.size() < width) out->append(width - cell.size(), ' ');
}

}  // namespace

const char* ImageStatusName(ImageStatus status) {
    switch (status) {
    case IMAGE_OK: return "ok";
    case IMAGE_NOT_OPENED: return "not_opened";
    case IMAGE_NO_BOOTLOADER: return "no_bootloader";
    case IMAGE_NO_MAINCODE: return "no_maincode";
    case IMAGE_UNRECOGNISED_VARIANT: return "unrecognised_variant";
    }
    return "unknown";
}

const char* ImageStatusText(ImageStatus status) {
    switch (status) {
    case IMAGE_OK: return "accepted";
    case IMAGE_NOT_OPENED: return "cannot be opened for reading";
    case IMAGE_NO_BOOTLOADER: return "not a firmware image: no bootloader word 0xE3000010";
    case IMAGE_NO_MAINCODE: return "no main-code block 0x01FE0101";
    case IMAGE_UNRECOGNISED_VARIANT: return "unrecognised board variant byte";
    }
    return "unknown status";
}

void AnalyseImage(const char* path, ImageReport* report) {
    std::memset(report, 0, sizeof *report);
    report->path = path;
    report->board = BOARD_NONE;

    BlockId ids[REPORT_MAX_BLOCKS];
    WordSearchResult results[REPORT_MAX_BLOCKS];
    int idCount = CollectIdentifiers(ids, REPORT_MAX_BLOCKS);
    FindBlockWords(path, ids, static_cast<size_t>(idCount), results);

    const WordSearchResult& bootloader = results[0];
    const WordSearchResult& mainCode = results[1];
    if (!bootloader.opened) {
        report->status = IMAGE_NOT_OPENED;
        return;
    }
    report->size = bootloader.size;
    if (!bootloader.found) {
        report->status = IMAGE_NO_BOOTLOADER;
        return;
    }
    if (!mainCode.found) {
        report->status = IMAGE_NO_MAINCODE;
        return;
    }
    int model = IdentifyBoard(path, mainCode.offset);
    if (model == IDENTIFY_NOT_OPENED) {
        report->status = IMAGE_NOT_OPENED;
        return;
    }
    if (!IsBoardModel(model)) {
        report->status = IMAGE_UNRECOGNISED_VARIANT;
        return;
    }

    report->status = IMAGE_OK;
    report->board = model;
    int entries = CatalogueSize(model);
    for (int i = 0; i < entries && report->blockCount < REPORT_MAX_BLOCKS; ++i) {
        CatalogueEntry entry;
        if (!CatalogueEntryAt(model, i, &entry)) continue;
        BlockReport* block = &report->blocks[report->blockCount++];
        block->index = i;
        block->name = entry.name;
        block->id = entry.id;
        const WordSearchResult* search = ResultFor(entry.id, ids, results, idCount);
        if (search) FillBlock(path, report->size, *search, block);
    }
}

int FindReportBlock(const ImageReport& report, const char* name) {
    for (int i = 0; i < report.blockCount; ++i) {
        if (std::strcmp(report.blocks[i].name, name) == 0) return i;
    }
    return -1;
}

void FormatInfoText(const ImageReport& report, std::string* out) {
    out->append("Image:   ").append(Printable(report.path)).append("\n");
    if (report.status != IMAGE_NOT_OPENED) {
        char size[32];
        std::snprintf(size, sizeof size, "%" PRIu64 " bytes", report.size);
        out->append("Size:    ").append(size).append("\n");
    }
    if (report.status != IMAGE_OK) {
        out->append("Status:  rejected: ").append(ImageStatusText(report.status)).append("\n");
        return;
    }
    out->append("Board:   ").append(ModelText(report.board)).append("\n\n");

    enum { COLUMNS = 7 };
    const char* titles[COLUMNS] = {"#", "Name", "Id", "Offset", "Extent", "Version", "Date"};
    std::string cells[REPORT_MAX_BLOCKS][COLUMNS];
    size_t widths[COLUMNS];
    for (int c = 0; c < COLUMNS; ++c) widths[c] = std::strlen(titles[c]);

    bool anyRepeated = false;
    bool anyPastEnd = false;
    for (int i = 0; i < report.blockCount; ++i) {
        const BlockReport& b = report.blocks[i];
        std::string* row = cells[i];
        row[0] = std::to_string(b.index);
        row[1] = b.name;
        row[2] = Hex(b.id);
        row[3] = b.found ? Hex(b.offset) : "-";
        if (b.found && b.matches > 1) {
            row[3] += "*";
            anyRepeated = true;
        }
        row[4] = !b.found ? "-" : b.extentKnown ? Hex(b.extent) : "?";
        if (b.found && b.extentKnown && b.pastEnd) {
            row[4] += "!";
            anyPastEnd = true;
        }
        row[5] = b.stampKnown ? Printable(b.version) : "-";
        row[6] = b.stampKnown ? Printable(b.date) : "-";
        for (int c = 0; c < COLUMNS; ++c) {
            if (row[c].size() > widths[c]) widths[c] = row[c].size();
        }
    }

    auto appendRow = [&](const std::string* row) {
        std::string line;
        for (int c = 0; c < COLUMNS; ++c) {
            // The index is right-aligned, everything else left-aligned.
            if (c == 0) {
                line.append(widths[0] - row[0].size(), ' ').append(row[0]);
            } else {
                AppendPadded(&line, row[c], widths[c]);
            }
            if (c + 1 < COLUMNS) line.append("  ");
        }
        while (!line.empty() && line.back() == ' ') line.pop_back();
        out->append(line).append("\n");
    };
    std::string header[COLUMNS];
    for (int c = 0; c < COLUMNS; ++c) header[c] = titles[c];
    appendRow(header);
    for (int i = 0; i < report.blockCount; ++i) appendRow(cells[i]);

    if (anyRepeated || anyPastEnd) out->append("\n");
    if (anyRepeated) {
        for (int i = 0; i < report.blockCount; ++i) {
            const BlockReport& b = report.blocks[i];
            if (!b.found || b.matches <= 1) continue;
            char note[160];
            std::snprintf(note, sizeof note,
                          "* %s: the identifier occurs %" PRIu64 " times; the last one is used\n",
                          b.name, b.matches);
            out->append(note);
        }
    }
    if (anyPastEnd) out->append("! the extent reaches beyond the end of the image\n");
    if (report.blockCount > 0) {
        bool anyUnknownExtent = false;
        for (int i = 0; i < report.blockCount; ++i) {
            anyUnknownExtent = anyUnknownExtent ||
                               (report.blocks[i].found && !report.blocks[i].extentKnown);
        }
        if (anyUnknownExtent) out->append("? the extent field lies beyond the end of the image\n");
    }
}

void FormatInfoJson(const ImageReport& report, std::string* out) {
    out->append("{\"image\": ");
    AppendJsonText(out, report.path);
    out->append(", \"size\": ");
    AppendJsonUnsigned(out, report.size);
    out->append(", \"status\": ");
    AppendJsonText(out, ImageStatusName(report.status));
    out->append(", \"board\": ");
    if (report.status == IMAGE_OK) {
        out->append("{\"model\": ");
        AppendJsonUnsigned(out, static_cast<uint64_t>(report.board));
        out->append(", \"name\": ");
        AppendJsonText(out, ModelText(report.board));
        out->append("}");
    } else {
        AppendJsonNull(out);
    }
    out->append(", \"blocks\": [");
    for (int i = 0; i < report.blockCount; ++i) {
        const BlockReport& b = report.blocks[i];
        out->append(i == 0 ? "\n  " : ",\n  ");
        out->append("{\"index\": ");
        AppendJsonUnsigned(out, static_cast<uint64_t>(b.index));
        out->append(", \"name\": ");
        AppendJsonText(out, b.name);
        out->append(", \"id\": ");
        AppendJsonText(out, Hex(b.id).c_str());
        out->append(", \"found\": ");
        AppendJsonBool(out, b.found);
        out->append(", \"matches\": ");
        AppendJsonUnsigned(out, b.matches);
        out->append(", \"offset\": ");
        if (b.found) AppendJsonUnsigned(out, b.offset); else AppendJsonNull(out);
        out->append(", \"extent\": ");
        if (b.found && b.extentKnown) AppendJsonUnsigned(out, b.extent); else AppendJsonNull(out);
        out->append(", \"past_end\": ");
        if (b.found && b.extentKnown) AppendJsonBool(out, b.pastEnd); else AppendJsonNull(out);
        out->append(", \"version\": ");
        AppendJsonText(out, b.found && b.stampKnown ? b.version : nullptr);
        out->append(", \"date\": ");
        AppendJsonText(out, b.found && b.stampKnown ? b.date : nullptr);
        out->append("}");
    }
    out->append(report.blockCount > 0 ? "\n]}\n" : "]}\n");
}
