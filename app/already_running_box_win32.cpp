#include <windows.h>

#include "app/already_running_box.h"
#include "config/wide_path_win32.h"
#include "serial/is_wine_win32.h"

namespace {

constexpr UINT kLookEveryMs = 100;

// Windows keeps a topmost box above every window that is not topmost, also one that
// appears after it, so there the box needs nothing more. Wine without a window manager
// stacks a window that maps later on top, whatever the band: there the box takes its place
// again (a change of band is a change of place, which every window system carries out).
// While the box is the foreground window nothing can lie over it, so it stays put then.
BOOL CALLBACK TakePlaceInFront(HWND window, LPARAM) {
    wchar_t className[16] = {};
    // The system's box is a dialog, of the class "#32770".
    if (IsWindowVisible(window) && GetClassNameW(window, className, 16) > 0 &&
        lstrcmpW(className, L"#32770") == 0 && GetForegroundWindow() != window) {
        const UINT flags = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE;
        SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0, flags);
        SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, flags);
    }
    return TRUE;
}

void CALLBACK KeepInFront(HWND, UINT, UINT_PTR, DWORD) {
    EnumThreadWindows(GetCurrentThreadId(), TakePlaceInFront, 0);
}

}  // namespace

// The system's box needs no toolkit. MB_TOPMOST keeps it above every window that is not
// topmost, also the first copy's, which may appear after it; MB_SETFOREGROUND asks for the
// foreground, which Windows grants a process that the foreground process (the calling
// program) has just started.
void ShowAlreadyRunningBox(ToolkitArguments& /*toolkit*/, const std::string& title,
                           const std::string& message) {
    // A thread timer, under Wine only: the box's own message loop runs it.
    const UINT_PTR timer = IsWine() ? SetTimer(nullptr, 0, kLookEveryMs, KeepInFront) : 0;
    MessageBoxW(nullptr, Utf8ToUtf16(message).c_str(), Utf8ToUtf16(title).c_str(),
                MB_OK | MB_SETFOREGROUND | MB_TOPMOST);
    if (timer != 0) {
        KillTimer(nullptr, timer);
    }
}
