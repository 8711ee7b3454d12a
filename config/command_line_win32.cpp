#include "config/command_line.h"

std::vector<std::string> CommandLineArguments(int argc, const char* const* argv) {
    // The C runtime hands the arguments over in the ANSI code page, which is the file's
    // Windows-1252 on the systems this program runs on.
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) {
        arguments.emplace_back(argv[i]);
    }
    return arguments;
}
