// Wine's font files as the Windows program finds them under Wine: by their Windows names,
// whatever drive is current. (Wine also takes a Unix path; Windows would read it as a folder
// on the current drive, which is why the program never uses one.)

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/wine_font_files.h"

namespace {

std::wstring Wide(const std::string& utf8) {
    const int size = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
    std::wstring wide(static_cast<size_t>(size > 0 ? size : 1), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, wide.data(), size);
    wide.pop_back();
    return wide;
}

}  // namespace

// The test bench installs fonts-wine (scripts/install-deps.sh, group win32).
TEST(WineFontFiles, UnderWineAreFoundByTheirWindowsNamesFromAnyDrive) {
    wchar_t windows[MAX_PATH];
    ASSERT_GT(GetWindowsDirectoryW(windows, MAX_PATH), 0u);
    wchar_t before[MAX_PATH];
    ASSERT_GT(GetCurrentDirectoryW(MAX_PATH, before), 0u);
    ASSERT_TRUE(SetCurrentDirectoryW(windows));  // C:, where /usr/share is no folder

    const std::vector<std::string> files = WineFontFiles();
    SetCurrentDirectoryW(before);
    ASSERT_EQ(files.size(), WineFontFilesOnUnix().size());
    for (const std::string& file : files) {
        EXPECT_NE(GetFileAttributesW(Wide(file).c_str()), INVALID_FILE_ATTRIBUTES) << file;
        EXPECT_EQ(file.find('/'), std::string::npos) << "a Windows name: " << file;
    }
    EXPECT_NE(files.front().find("tahoma.ttf"), std::string::npos) << files.front();
}
