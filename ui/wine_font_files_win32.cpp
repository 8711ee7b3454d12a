#include <windows.h>

#include "ui/wine_font_files.h"

namespace {

// Wine's own exports: ntdll's wine_get_version says the program runs under Wine (Windows
// has no such export), kernel32's wine_get_dos_file_name gives a Unix file's Windows name
// (from HeapAlloc of the process heap; NULL when it has none).
using DosFileName = WCHAR*(WINAPI*)(const char* unixName);

DosFileName WineDosFileName() {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    if (ntdll == nullptr || GetProcAddress(ntdll, "wine_get_version") == nullptr) {
        return nullptr;
    }
    const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    if (kernel == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<DosFileName>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "wine_get_dos_file_name")));
}

std::string Utf8(const WCHAR* text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1) {
        return {};
    }
    std::string utf8(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8.data(), size, nullptr, nullptr);
    utf8.pop_back();  // the terminating NUL
    return utf8;
}

}  // namespace

std::vector<std::string> WineFontFiles() {
    std::vector<std::string> present;
    const DosFileName dosFileName = WineDosFileName();
    if (dosFileName == nullptr) {
        return present;  // Windows: its own fonts
    }
    for (const std::string& file : WineFontFilesOnUnix()) {
        WCHAR* dos = dosFileName(file.c_str());
        if (dos == nullptr) {
            continue;
        }
        if (GetFileAttributesW(dos) != INVALID_FILE_ATTRIBUTES) {
            present.push_back(Utf8(dos));
        }
        HeapFree(GetProcessHeap(), 0, dos);
    }
    return present;
}
