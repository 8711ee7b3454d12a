// windows.h first: shellapi.h relies on its definitions.
#include <windows.h>

#include <shellapi.h>

#include "config/command_line.h"
#include "config/wide_command_line_win32.h"
#include "config/wide_path_win32.h"

ProgramArguments ArgumentsOfWideCommandLine(const wchar_t* commandLine) {
    int count = 0;
    wchar_t** values = CommandLineToArgvW(commandLine, &count);
    std::vector<std::string> arguments;
    if (values == nullptr) {
        return {};
    }
    for (int i = 1; i < count; ++i) {
        arguments.push_back(Utf16ToUtf8(values[i]));
    }
    LocalFree(values);
    return PrepareArguments(std::move(arguments));
}

ProgramArguments CommandLineArguments(int, const char* const*) {
    return ArgumentsOfWideCommandLine(GetCommandLineW());
}
