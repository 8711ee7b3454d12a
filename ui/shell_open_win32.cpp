// windows.h first: shellapi.h relies on its definitions.
#include <windows.h>

#include <shellapi.h>

#include "config/make_folders.h"
#include "config/wide_path_win32.h"
#include "ui/shell_open_native.h"

void ShellOpenNative(const std::string& targetCp1252) {
    // The result (an instance handle above 32 on success) is of no use: a target that
    // cannot be opened is ignored.
    ShellExecuteA(nullptr, nullptr, targetCp1252.c_str(), "", nullptr, SW_SHOWNORMAL);
}

bool ShellOpenFolderNative(const std::string& pathUtf8) {
    // The wide call: a user's folder may hold letters the ANSI code page lacks.
    MakeFolders(pathUtf8, nullptr);
    // Success is a value above 32 (the result is an HINSTANCE only for old programs' sake).
    const HINSTANCE result = ShellExecuteW(nullptr, nullptr, WidePath(pathUtf8).c_str(), nullptr,
                                           nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(result) > 32;
}
