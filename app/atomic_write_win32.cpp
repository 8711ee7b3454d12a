#include <windows.h>

#include <atomic>

#include "app/atomic_write.h"

namespace {

std::atomic<unsigned> temporaryCounter{0};

bool Fail(std::string* error, const std::string& what, DWORD errorCode) {
    if (error != nullptr) {
        *error = what + ": system error " + std::to_string(errorCode);
    }
    return false;
}

bool WriteAll(HANDLE file, std::string_view bytes) {
    while (!bytes.empty()) {
        DWORD chunk = bytes.size() > 0x10000000u ? 0x10000000u : static_cast<DWORD>(bytes.size());
        DWORD written = 0;
        if (!WriteFile(file, bytes.data(), chunk, &written, nullptr) || written == 0) {
            return false;
        }
        bytes.remove_prefix(written);
    }
    return true;
}

}  // namespace

bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string* error) {
    if (path.empty()) {
        return Fail(error, "empty file name", ERROR_INVALID_NAME);
    }
    std::string temporary;
    HANDLE file = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 100 && file == INVALID_HANDLE_VALUE; ++attempt) {
        temporary = path + ".tmp-" + std::to_string(GetCurrentProcessId()) + "-" +
                    std::to_string(temporaryCounter.fetch_add(1));
        file = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) {
            return Fail(error, "cannot create " + temporary, GetLastError());
        }
    }
    if (file == INVALID_HANDLE_VALUE) {
        return Fail(error, "cannot create a temporary file beside " + path, ERROR_FILE_EXISTS);
    }
    if (!WriteAll(file, bytes) || !FlushFileBuffers(file)) {
        DWORD saved = GetLastError();
        CloseHandle(file);
        DeleteFileA(temporary.c_str());
        return Fail(error, "cannot write " + temporary, saved);
    }
    if (!CloseHandle(file)) {
        DWORD saved = GetLastError();
        DeleteFileA(temporary.c_str());
        return Fail(error, "cannot write " + temporary, saved);
    }
    if (!MoveFileExA(temporary.c_str(), path.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DWORD saved = GetLastError();
        DeleteFileA(temporary.c_str());
        return Fail(error, "cannot replace " + path, saved);
    }
    return true;
}
