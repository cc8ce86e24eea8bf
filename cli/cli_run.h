// korvanta-cli as a function: everything main() does except the printing.
#pragma once

#include <string>

#include "cli_options.h"

enum CliExit {
    CLI_EXIT_OK = 0,
    CLI_EXIT_REJECTED = 1,      // the image's status is not "ok"
    CLI_EXIT_USAGE = 2,         // message and usage on stderr
    CLI_EXIT_NOT_WRITTEN = 3,   // some block could not be written; the others were
};

// Parses argv, runs the command and appends what belongs on stdout and stderr.
int RunCli(int argc, char** argv, std::string* out, std::string* err);

// The commands on already-parsed options.
int RunInfo(const CliOptions& options, std::string* out, std::string* err);
int RunExtract(const CliOptions& options, std::string* out, std::string* err);
