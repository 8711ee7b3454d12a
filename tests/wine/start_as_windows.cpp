// start_as_windows.exe PROGRAM [ARGUMENT ...]: starts PROGRAM under Wine with the
// environment a Windows session gives a program. Wine copies the Unix environment into
// the Windows one, so a program under test would see DISPLAY, XDG_* and the like, which
// Windows never has; this start leaves out DISPLAY, WAYLAND_DISPLAY and every QT_* and
// XDG_* variable (Wine's display driver reads the Unix side, so windows still appear).
// The command line after this program's own name is handed on as it stands, so the
// arguments arrive exactly as a direct start would give them. Waits for PROGRAM and ends
// with its exit code; standard input, output and error are PROGRAM's too.
//
// Built by scripts/lib/wine-session.sh for each session (MinGW-w64, no Qt).

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <string_view>

namespace {

bool NameIs(std::wstring_view name, std::wstring_view wanted) {
    return name.size() == wanted.size() &&
           _wcsnicmp(name.data(), wanted.data(), wanted.size()) == 0;
}

bool NameBeginsWith(std::wstring_view name, std::wstring_view prefix) {
    return name.size() >= prefix.size() &&
           _wcsnicmp(name.data(), prefix.data(), prefix.size()) == 0;
}

// Environment names are compared without case, as Windows compares them.
bool OnlyUnixHasIt(std::wstring_view name) {
    return NameIs(name, L"DISPLAY") || NameIs(name, L"WAYLAND_DISPLAY") ||
           NameBeginsWith(name, L"QT_") || NameBeginsWith(name, L"XDG_");
}

// This process's environment block less the Unix-only variables.
std::wstring WindowsEnvironment() {
    std::wstring block;
    wchar_t* const all = GetEnvironmentStringsW();
    for (const wchar_t* entry = all; *entry != L'\0'; entry += std::wcslen(entry) + 1) {
        const std::wstring_view text(entry);
        // The hidden entries "=C:=C:\..." (each drive's current folder) begin with '='.
        const std::wstring_view name = text.substr(0, text.find(L'=', 1));
        if (!OnlyUnixHasIt(name)) {
            block.append(text);
            block.push_back(L'\0');
        }
    }
    FreeEnvironmentStringsW(all);
    block.push_back(L'\0');
    return block;
}

// The command line after the program name, which ends at the closing quote when it begins
// with one and at the first blank or tab otherwise (the rule CommandLineToArgvW applies to
// the first argument).
std::wstring CommandLineAfterProgramName() {
    std::wstring_view line(GetCommandLineW());
    size_t end = 0;
    if (!line.empty() && line[0] == L'"') {
        end = line.find(L'"', 1);
        end = end == std::wstring_view::npos ? line.size() : end + 1;
    } else {
        end = line.find_first_of(L" \t");
        end = end == std::wstring_view::npos ? line.size() : end;
    }
    line.remove_prefix(end);
    const size_t start = line.find_first_not_of(L" \t");
    return std::wstring(start == std::wstring_view::npos ? std::wstring_view()
                                                         : line.substr(start));
}

}  // namespace

int main() {
    std::wstring command = CommandLineAfterProgramName();
    if (command.empty()) {
        std::fputs("usage: start_as_windows.exe PROGRAM [ARGUMENT ...]\n", stderr);
        return 2;
    }
    std::wstring environment = WindowsEnvironment();

    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    HANDLE* const handles[] = {&startup.hStdInput, &startup.hStdOutput, &startup.hStdError};
    const DWORD kinds[] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
    for (int i = 0; i < 3; ++i) {
        *handles[i] = GetStdHandle(kinds[i]);
        SetHandleInformation(*handles[i], HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    }
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, CREATE_UNICODE_ENVIRONMENT,
                        environment.data(), nullptr, &startup, &process)) {
        std::fprintf(stderr, "start_as_windows: cannot start the program (error %lu)\n",
                     GetLastError());
        return 127;
    }
    CloseHandle(process.hThread);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    return static_cast<int>(code);
}
