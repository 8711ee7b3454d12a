#include <windows.h>

#include "app/already_running_box.h"
#include "config/wide_path_win32.h"

// The system's box needs no toolkit. MB_TOPMOST keeps it above every window that is not
// topmost, also the first copy's, which may appear after it; MB_SETFOREGROUND asks for the
// foreground, which Windows grants a process that the foreground process (the calling
// program) has just started.
void ShowAlreadyRunningBox(ToolkitArguments& /*toolkit*/, const std::string& title,
                           const std::string& message) {
    MessageBoxW(nullptr, Utf8ToUtf16(message).c_str(), Utf8ToUtf16(title).c_str(),
                MB_OK | MB_SETFOREGROUND | MB_TOPMOST);
}
