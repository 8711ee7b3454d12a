#include <windows.h>

#include <cstdio>

#include "app/start_notice.h"
#include "config/wide_path_win32.h"

bool CanShowMessageBox() {
    return true;
}

std::string ToolkitFailure() {
    return "cannot open a window: the window system could not be started";
}

void ShowProgramInfo(const std::string& title, const std::string& text) {
    std::fputs(text.c_str(), stdout);
    std::fflush(stdout);
    if (MessageBoxesGoToStderr()) {
        return;
    }
    // The lines of the text end with LF only; a message box breaks lines at either.
    MessageBoxW(nullptr, Utf8ToUtf16(text).c_str(), Utf8ToUtf16(title).c_str(),
                MB_OK | MB_ICONINFORMATION | MB_SETFOREGROUND);
}
