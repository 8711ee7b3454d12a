#include "config/wide_path_win32.h"

#include <windows.h>

#include <shlobj.h>

std::wstring Utf8ToUtf16(std::string_view utf8) {
    if (utf8.empty()) {
        return {};
    }
    const int size = static_cast<int>(utf8.size());
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
    std::wstring utf16(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, utf16.data(), length);
    return utf16;
}

std::string Utf16ToUtf8(std::wstring_view utf16) {
    if (utf16.empty()) {
        return {};
    }
    const int size = static_cast<int>(utf16.size());
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, utf16.data(), size, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, utf16.data(), size, utf8.data(), length, nullptr, nullptr);
    return utf8;
}

namespace {

// The ordinary form of a path ends at MAX_PATH characters with its terminating zero, and a
// folder's a dozen earlier (room for an 8.3 name in it). Longer paths need the "\\?\" form,
// which Windows takes as it is, without making it absolute or tidying it up.
constexpr size_t kLongestOrdinaryPath = MAX_PATH - 12 - 1;

bool StartsWith(std::wstring_view text, std::wstring_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

/// `path` made absolute and tidied ("." and ".." resolved, '/' made '\\') as Windows does
/// for the ordinary form; empty when it cannot.
std::wstring FullPath(const std::wstring& path) {
    const DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (needed == 0) {
        return {};
    }
    std::wstring full(needed, L'\0');
    const DWORD length = GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
    if (length == 0 || length >= needed) {
        return {};
    }
    full.resize(length);
    return full;
}

}  // namespace

std::wstring WidePath(const std::string& path) {
    std::wstring wide = Utf8ToUtf16(path);
    if (wide.empty() || StartsWith(wide, L"\\\\?\\") || StartsWith(wide, L"\\\\.\\")) {
        return wide;
    }
    // A short path stays exactly as the caller wrote it, as Windows has always taken it.
    const std::wstring full = FullPath(wide);
    if (full.size() <= kLongestOrdinaryPath) {
        return wide;
    }
    if (full.size() >= 3 && full[1] == L':' && full[2] == L'\\') {
        return L"\\\\?\\" + full;
    }
    if (StartsWith(full, L"\\\\") && !StartsWith(full, L"\\\\?\\") &&
        !StartsWith(full, L"\\\\.\\")) {
        return L"\\\\?\\UNC\\" + full.substr(2);
    }
    return wide;
}

std::string PathFromSystem(std::wstring_view path) {
    if (StartsWith(path, L"\\\\?\\UNC\\")) {
        return "\\\\" + Utf16ToUtf8(path.substr(8));
    }
    if (StartsWith(path, L"\\\\?\\")) {
        return Utf16ToUtf8(path.substr(4));
    }
    return Utf16ToUtf8(path);
}

std::string KnownFolderPath(REFGUID folder) {
    wchar_t* found = nullptr;
    std::string path;
    if (SUCCEEDED(SHGetKnownFolderPath(folder, KF_FLAG_DONT_VERIFY, nullptr, &found))) {
        path = PathFromSystem(found);
    }
    CoTaskMemFree(found);
    return path;
}
