// The three board variants, how an image tells which one it is, and the named
// blocks each variant's firmware consists of.
#pragma once

#include <cstdint>

#include "block_layout.h"

typedef int BoardModel;

constexpr BoardModel BOARD_NONE = -1;
constexpr BoardModel BOARD_3329B = 1;
constexpr BoardModel BOARD_3329B_DVR_CI = 2;
constexpr BoardModel BOARD_3329C = 3;

// Failures of IdentifyBoard, distinct from every BoardModel value.
constexpr int IDENTIFY_NOT_OPENED = -2;
constexpr int IDENTIFY_UNRECOGNISED = -3;

struct CatalogueEntry {
    const char* name;
    BlockId id;
};

// Reads the variant byte of the main-code block at `mainCodeOffset`. Returns
// BOARD_3329B, BOARD_3329B_DVR_CI, BOARD_3329C or one of the failures above.
int IdentifyBoard(const char* path, uint64_t mainCodeOffset);

// True for the three known models.
bool IsBoardModel(int model);

// The model's text ("ALI-3329B", ...), or nullptr for anything else.
const char* ModelText(BoardModel model);

// Number of catalogue entries of the model; 0 for anything but the three models.
int CatalogueSize(BoardModel model);

// Entry `index` of the model's catalogue, in list order. False when the model
// or the index is out of range.
bool CatalogueEntryAt(BoardModel model, int index, CatalogueEntry* entry);
