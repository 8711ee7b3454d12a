#include <windows.h>

#include <vector>

#include "config/executable_path.h"
#include "config/wide_path_win32.h"

std::string ExecutablePath() {
    // GetModuleFileNameW cuts a long name silently and returns the buffer size; grow then.
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            return {};
        }
        if (length < buffer.size()) {
            return PathFromSystem(std::wstring_view(buffer.data(), length));
        }
        if (buffer.size() >= 32768) {
            return {};
        }
        buffer.resize(buffer.size() * 2);
    }
}
