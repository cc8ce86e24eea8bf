#include "board_catalogue.h"

#include "block_header.h"
#include "byte_reader.h"
#include "image_file.h"

namespace {

constexpr int CATALOGUE_3329B_SIZE = 7;
constexpr int CATALOGUE_SHARED_SIZE = 8;

// Identifier tables: one for the ALI-3329B, one shared by the two others.
constexpr BlockId IDS_3329B[CATALOGUE_3329B_SIZE] = {
    BOOTLOADER_ID, MAINCODE_ID, 0x08F70100u, 0x0EF10100u, 0x02FD0100u, 0x03FC0100u, 0x04FB0100u,
};
constexpr BlockId IDS_SHARED[CATALOGUE_SHARED_SIZE] = {
    BOOTLOADER_ID, MAINCODE_ID, 0x08F70100u, 0x0EF10100u,
    0x02FD0100u,   0x02FD0300u, 0x03FC0100u, 0x04FB0100u,
};

const char* const NAMES_3329B[CATALOGUE_3329B_SIZE] = {
    "bootloader", "maincode", "CAS_data", "ScriptGUI", "Radioback", "defaultdb", "userdb",
};
const char* const NAMES_3329B_DVR_CI[CATALOGUE_SHARED_SIZE] = {
    "bootloader", "maincodeB", "CAS_data", "ScriptGUI", "logo", "logo_radio", "defaultdb", "userdb",
};
const char* const NAMES_3329C[CATALOGUE_SHARED_SIZE] = {
    "bootloader", "maincodeC", "CAS_data", "ScriptGUI", "logo", "logo_radio", "defaultdb", "userdb",
};

}  // namespace

int IdentifyBoard(const char* path, uint64_t mainCodeOffset)
{
    ImageFile file;
    if (!ImageOpen(path, &file)) {
        return IDENTIFY_NOT_OPENED;
    }
    BlockHeaderBytes header;
    const bool fetched = FetchBlockHeader(&file, mainCodeOffset, &header);
    ImageClose(&file);

    uint32_t variant = 0;
    if (!fetched || !ReadBigEndian(header.bytes, header.length, VARIANT_FIELD, 1, &variant)) {
        return IDENTIFY_UNRECOGNISED;
    }
    switch (variant) {
    case 0x00:
        return BOARD_3329B;
    case 'B':
        return BOARD_3329B_DVR_CI;
    case 'C':
        return BOARD_3329C;
    default:
        return IDENTIFY_UNRECOGNISED;
    }
}

bool IsBoardModel(int model)
{
    return model == BOARD_3329B || model == BOARD_3329B_DVR_CI || model == BOARD_3329C;
}

const char* ModelText(BoardModel model)
{
    switch (model) {
    case BOARD_3329B:
        return "ALI-3329B";
    case BOARD_3329B_DVR_CI:
        return "ALI-3329B DVR CI";
    case BOARD_3329C:
        return "ALI-3329C";
    default:
        return nullptr;
    }
}

int CatalogueSize(BoardModel model)
{
    switch (model) {
    case BOARD_3329B:
        return CATALOGUE_3329B_SIZE;
    case BOARD_3329B_DVR_CI:
    case BOARD_3329C:
        return CATALOGUE_SHARED_SIZE;
    default:
        return 0;
    }
}

bool CatalogueEntryAt(BoardModel model, int index, CatalogueEntry* entry)
{
    if (index < 0 || index >= CatalogueSize(model)) {
        return false;
    }
    switch (model) {
    case BOARD_3329B:
        *entry = CatalogueEntry{NAMES_3329B[index], IDS_3329B[index]};
        return true;
    case BOARD_3329B_DVR_CI:
        *entry = CatalogueEntry{NAMES_3329B_DVR_CI[index], IDS_SHARED[index]};
        return true;
    case BOARD_3329C:
        *entry = CatalogueEntry{NAMES_3329C[index], IDS_SHARED[index]};
        return true;
    default:
        return false;
    }
}
