#include <windows.h>

#include <vector>

#include "config/executable_path.h"

std::string ExecutablePath() {
    // GetModuleFileNameA cuts a long name silently and returns the buffer size; grow then.
    std::vector<char> buffer(MAX_PATH);
    for (;;) {
        DWORD length =
            GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            return {};
        }
        if (length < buffer.size()) {
            return std::string(buffer.data(), length);
        }
        if (buffer.size() >= 32768) {
            return {};
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::string_view PathSeparators() {
    return "\\/:";
}
