#include "app/command_line.h"
#include "data/cp1252.h"

std::vector<std::string> CommandLineArguments(int argc, const char* const* argv) {
    // Header and parameter become file text (Windows-1252); the path must stay in the
    // file system's own encoding to name the file the caller meant.
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) {
        arguments.push_back(i <= 2 ? Utf8ToCp1252(argv[i]) : std::string(argv[i]));
    }
    return arguments;
}
