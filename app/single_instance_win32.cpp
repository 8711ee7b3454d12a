#include <windows.h>

#include "app/single_instance.h"
#include "config/wide_path_win32.h"

bool SingleInstanceGuard::Acquire() {
    if (Held()) {
        return true;
    }
    // No "Local\\" or "Global\\" prefix: the name lives in the namespace of the user's
    // logon session, which is what "one copy per user logon" means. The wide name keeps
    // letters the ANSI code page lacks: "Şahin.exe" is not "Sahin.exe".
    HANDLE mutex = CreateMutexW(nullptr, TRUE, Utf8ToUtf16(fileName_).c_str());
    DWORD lastError = GetLastError();
    if (mutex == nullptr) {
        // The mutex exists but this user may not open it (the first copy runs elevated, say,
        // and so its mutex refuses the others): a copy is running all the same. Any other
        // failure leaves no guard at all: behave as the first copy.
        return lastError != ERROR_ACCESS_DENIED;
    }
    if (lastError == ERROR_ALREADY_EXISTS) {
        // The second copy only opened the first copy's mutex; it is about to end anyway.
        CloseHandle(mutex);
        return false;
    }
    handle_ = reinterpret_cast<std::intptr_t>(mutex);
    return true;
}

void SingleInstanceGuard::Release() {
    if (Held()) {
        CloseHandle(reinterpret_cast<HANDLE>(handle_));
        handle_ = kNoHandle;
    }
}
