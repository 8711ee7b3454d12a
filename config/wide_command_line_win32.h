#pragma once
// The Windows command line as the program reads it: in UTF-16, so that a path keeps every
// letter the caller wrote.

#include "config/command_line.h"

/// The arguments of `commandLine` (program name excluded), split as CommandLineToArgvW
/// splits them and prepared as CommandLineArguments (command_line.h) prepares them.
ProgramArguments ArgumentsOfWideCommandLine(const wchar_t* commandLine);
