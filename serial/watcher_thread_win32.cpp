#include <windows.h>

#include "serial/watcher_thread.h"

void EnterWatcherThread() {
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
    // SetThreadDescription exists from Windows 10 1607 on; older systems go without the name.
    using SetDescription = HRESULT(WINAPI*)(HANDLE, PCWSTR);
    if (const HMODULE kernel = GetModuleHandleA("kernel32.dll")) {
        if (const auto set = reinterpret_cast<SetDescription>(
                reinterpret_cast<void*>(GetProcAddress(kernel, "SetThreadDescription")))) {
            set(GetCurrentThread(), L"comm-watcher");
        }
    }
}
