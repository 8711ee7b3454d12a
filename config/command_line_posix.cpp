#include "config/command_line.h"

std::vector<std::string> CommandLineArguments(int argc, const char* const* argv) {
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) {
        arguments.emplace_back(argv[i]);
    }
    return FileTextAndPaths(std::move(arguments));
}
