// windows.h first: shellapi.h relies on its definitions.
#include <windows.h>

#include <shellapi.h>

#include "ui/shell_open_native.h"

void ShellOpenNative(const std::string& targetCp1252) {
    // The result (an instance handle above 32 on success) is of no use: a target that
    // cannot be opened is ignored.
    ShellExecuteA(nullptr, nullptr, targetCp1252.c_str(), "", nullptr, SW_SHOWNORMAL);
}
