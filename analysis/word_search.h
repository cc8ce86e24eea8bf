// Locating blocks: an image is scanned as 4-byte-aligned big-endian words.
// The last whole word of the file is never examined, and when an identifier
// occurs more than once the last occurrence wins.
#pragma once

#include <cstddef>
#include <cstdint>

#include "block_layout.h"

struct WordSearchResult {
    bool opened;       // the image could be opened for reading
    uint64_t size;     // image length in bytes (0 when not opened)
    bool found;        // some examined word equals the identifier
    uint64_t offset;   // offset of the last matching word; 0 when none
    uint64_t matches;  // number of examined words that matched
};

// Reads the image at `path` once, sequentially, and reports where `wanted`
// stands. Never creates or changes the file; only an existing regular file is
// opened. A read error ends the scan like the end of the file: the answer is
// what the words read until then hold.
WordSearchResult FindBlockWord(const char* path, BlockId wanted);

// One pass for several identifiers; `results[i]` answers `ids[i]` exactly as
// FindBlockWord(path, ids[i]) would.
void FindBlockWords(const char* path, const BlockId* ids, size_t count, WordSearchResult* results);
