#include "serial/comm_api_win32.h"

#include <atomic>

bool IsWine() {
    static const bool wine = [] {
        const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
        return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
    }();
    return wine;
}

namespace {

const CommApi kSystem = {
    ::CreateFileA,        ::SetCommState,        ::GetCommState,  ::SetupComm,
    ::SetCommTimeouts,    ::SetCommMask,         ::WaitCommEvent, ::ClearCommError,
    ::GetCommModemStatus, ::EscapeCommFunction,  ::PurgeComm,     ::ReadFile,
    ::WriteFile,          ::GetOverlappedResult, ::CancelIoEx,    IsWine,
};

std::atomic<const CommApi*> current{&kSystem};

}  // namespace

const CommApi& Comm() {
    return *current.load(std::memory_order_acquire);
}

const CommApi& SystemCommApi() {
    return kSystem;
}

void ReplaceCommApi(const CommApi* api) {
    current.store(api != nullptr ? api : &kSystem, std::memory_order_release);
}
