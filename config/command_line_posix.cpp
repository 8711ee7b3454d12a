#include "config/command_line.h"
#include "data/cp1252.h"

std::vector<std::string> CommandLineArguments(int argc, const char* const* argv) {
    // Header and parameter become file text (Windows-1252); the path must stay in the
    // file system's own encoding to name the file the caller meant. A calling program
    // that hands over Windows-1252 bytes gives arguments that are not UTF-8: those bytes
    // are the file text already.
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) {
        const std::string argument(argv[i]);
        const bool fileText = i <= 2 && IsWellFormedUtf8(argument);
        arguments.push_back(fileText ? Utf8ToCp1252(argument) : argument);
    }
    return arguments;
}
