#include "tests/serial/win32/slow_open_win32.h"

#include <mutex>

namespace {

std::mutex mutex;  // guards what follows; opens run on threads of their own
std::string slowPort;
std::optional<DWORD> slowMs;
CommApi table;

/// True when `path` ("\\.\COM5") names `port`.
bool Names(const std::string& path, const std::string& port) {
    const size_t at = path.rfind('\\');
    const std::string name = at == std::string::npos ? path : path.substr(at + 1);
    return CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, port.c_str(), -1, name.c_str(), -1) ==
           CSTR_EQUAL;
}

HANDLE WINAPI SlowCreateFileA(LPCSTR path, DWORD access, DWORD share,
                              LPSECURITY_ATTRIBUTES security, DWORD disposition, DWORD flags,
                              HANDLE model) {
    HANDLE device = ::CreateFileA(path, access, share, security, disposition, flags, model);
    const DWORD error = GetLastError();
    DWORD delay = 0;
    {
        std::lock_guard lock(mutex);
        if (!slowPort.empty() && Names(path, slowPort)) {
            delay = slowMs.value_or(INFINITE);
        }
    }
    if (delay != 0) {
        Sleep(delay);
    }
    SetLastError(error);
    return device;
}

}  // namespace

void SlowOpens(const std::string& port, std::optional<DWORD> delayMs) {
    {
        std::lock_guard lock(mutex);
        slowPort = port;
        slowMs = delayMs;
    }
    table = SystemCommApi();
    table.CreateFileA = SlowCreateFileA;
    ReplaceCommApi(&table);
}

void NoSlowOpens() {
    ReplaceCommApi(nullptr);
    std::lock_guard lock(mutex);
    slowPort.clear();
}
