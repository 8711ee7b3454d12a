#include "config/wide_path_win32.h"

#include <windows.h>

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

std::wstring WidePath(const std::string& path) {
    return Utf8ToUtf16(path);
}

std::string PathFromSystem(std::wstring_view path) {
    constexpr std::wstring_view kUncPrefix = L"\\\\?\\UNC\\";
    constexpr std::wstring_view kLongPrefix = L"\\\\?\\";
    if (path.substr(0, kUncPrefix.size()) == kUncPrefix) {
        return "\\\\" + Utf16ToUtf8(path.substr(kUncPrefix.size()));
    }
    if (path.substr(0, kLongPrefix.size()) == kLongPrefix) {
        return Utf16ToUtf8(path.substr(kLongPrefix.size()));
    }
    return Utf16ToUtf8(path);
}
