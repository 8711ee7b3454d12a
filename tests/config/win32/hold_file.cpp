// Holds a file open as a calling program does that still has its old transfer file open:
// for reading and writing, sharing reading and writing but not deleting, so the file
// cannot be replaced or renamed over, only written.
//
// Usage: hold_file.exe FILE READY RELEASE
//   Opens FILE, then creates READY; holds FILE until RELEASE exists (at most 5 minutes,
//   so a test that dies leaves no holder behind for long). Exit code 0, or 1 when FILE
//   could not be opened (its error on standard error).
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::wstring Wide(const char* utf8) {
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
    std::wstring wide(static_cast<size_t>(length > 0 ? length : 1), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8, -1, wide.data(), length);
    wide.resize(wide.size() - 1);
    return wide;
}

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: hold_file.exe FILE READY RELEASE\n");
        return 2;
    }
    HANDLE held = CreateFileW(Wide(argv[1]).c_str(), GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (held == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "hold_file: cannot open %s (error %lu)\n", argv[1], GetLastError());
        return 1;
    }
    HANDLE ready = CreateFileW(Wide(argv[2]).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    CloseHandle(ready);
    const std::wstring release = Wide(argv[3]);
    for (int waited = 0; waited < 5 * 60 * 20 && !Exists(release); ++waited) {
        Sleep(50);
    }
    CloseHandle(held);
    return 0;
}
