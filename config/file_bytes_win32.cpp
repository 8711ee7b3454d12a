#include <windows.h>

#include "config/file_bytes.h"
#include "config/wide_path_win32.h"

namespace {

ReadFileResult Fail(std::string* error, const std::string& what, const std::string& reason) {
    if (error != nullptr) {
        *error = what + ": " + reason;
    }
    return ReadFileResult::Failed;
}

std::string SystemError(DWORD code) {
    return "system error " + std::to_string(code);
}

}  // namespace

ReadFileResult ReadFileBytes(const std::string& path, size_t maxBytes, std::string* bytes,
                             std::string* error) {
    bytes->clear();
    HANDLE file = CreateFileW(WidePath(path).c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) {
            return ReadFileResult::Missing;
        }
        return Fail(error, "cannot open " + path, SystemError(code));
    }
    // Only a file on a disk has a size to trust: a pipe or a device (CON, NUL, COM1) may
    // never end or block.
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileType(file) != FILE_TYPE_DISK || !GetFileInformationByHandle(file, &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        CloseHandle(file);
        return Fail(error, "cannot read " + path, "not a regular file");
    }
    const unsigned long long size =
        (static_cast<unsigned long long>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    if (size > maxBytes) {
        CloseHandle(file);
        return Fail(error, "cannot read " + path,
                    "larger than " + std::to_string(maxBytes) + " bytes");
    }
    bytes->reserve(static_cast<size_t>(size));
    char buffer[4096];
    for (;;) {
        DWORD count = 0;
        if (!ReadFile(file, buffer, sizeof buffer, &count, nullptr)) {
            const DWORD code = GetLastError();
            CloseHandle(file);
            bytes->clear();
            return Fail(error, "cannot read " + path, SystemError(code));
        }
        if (count == 0) {
            break;
        }
        // The file may grow while it is read.
        if (bytes->size() + count > maxBytes) {
            CloseHandle(file);
            bytes->clear();
            return Fail(error, "cannot read " + path,
                        "larger than " + std::to_string(maxBytes) + " bytes");
        }
        bytes->append(buffer, count);
    }
    CloseHandle(file);
    return ReadFileResult::Ok;
}
