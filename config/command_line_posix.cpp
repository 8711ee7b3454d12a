#include "config/command_line.h"

ProgramArguments CommandLineArguments(int argc, const char* const* argv) {
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) {
        arguments.emplace_back(argv[i]);
    }
    return PrepareArguments(std::move(arguments));
}
