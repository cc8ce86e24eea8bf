// korvanta-cli: the firmware image analysis of Korvanta from a terminal.
#include <cstdio>
#include <string>

#include "cli_run.h"

int main(int argc, char** argv) {
    std::string out;
    std::string err;
    int code = RunCli(argc, argv, &out, &err);
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fflush(stdout);
    std::fwrite(err.data(), 1, err.size(), stderr);
    std::fflush(stderr);
    return code;
}
