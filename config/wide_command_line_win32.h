#pragma once
// The Windows command line as the program reads it: in UTF-16, so that a path keeps every
// letter the caller wrote.

#include <string>
#include <vector>

/// The arguments of `commandLine` (program name excluded), split as CommandLineToArgvW
/// splits them and prepared as CommandLineArguments (command_line.h) prepares them.
std::vector<std::string> ArgumentsOfWideCommandLine(const wchar_t* commandLine);
