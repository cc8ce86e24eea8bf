// Command-line parsing of korvanta-cli into a plain options struct.
#pragma once

#include <cstddef>

enum CliCommand {
    CLI_NO_COMMAND,
    CLI_INFO,
    CLI_EXTRACT,
};

constexpr int CLI_MAX_BLOCKS = 64;

struct CliOptions {
    CliCommand command;
    bool help;                 // --help / -h: print the usage of `command` (or the general one)
    bool version;              // --version
    bool json;                 // info --json
    bool all;                  // extract --all
    const char* image;         // points into argv; nullptr when not given
    const char* outputDir;     // extract -o DIR; nullptr means the current folder
    int blockCount;            // extract BLOCK...
    const char* blocks[CLI_MAX_BLOCKS];
};

enum ParseStatus {
    PARSE_OK,
    PARSE_USAGE_ERROR,  // `err` holds a one-line reason
};

// Options may stand before, between or after the operands; "--" ends the
// options. On PARSE_OK with `help` or `version` set, the operands have not
// been checked for completeness. `err` always ends with a NUL when errLen > 0.
ParseStatus ParseCommandLine(int argc, char** argv, CliOptions* out, char* err, size_t errLen);

// Usage texts, each ending in a newline.
const char* GeneralUsage();
const char* CommandUsage(CliCommand command);
