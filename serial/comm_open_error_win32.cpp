#include <windows.h>

#include <string>

#include "serial/comm_open_error.h"

namespace {

// ERROR_NO_SUCH_DEVICE, which MinGW-w64's winerror.h lacks.
constexpr DWORD kErrorNoSuchDevice = 433;

CommOpenFailure FailureOfLastError(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_DEV_NOT_EXIST:
        case ERROR_DEVICE_NOT_CONNECTED:
        case ERROR_DEVICE_REMOVED:
        case kErrorNoSuchDevice:
            return CommOpenFailure::NoDevice;
        // A COM port opened by another program refuses a second open with "access denied";
        // a user's rights never keep a COM port from him.
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_BUSY:
            return CommOpenFailure::Busy;
        case ERROR_OPERATION_ABORTED:  // CancelSynchronousIo of an open given up
            return CommOpenFailure::GivenUp;
        default:
            return CommOpenFailure::Other;
    }
}

// The system's text in the user's language, as UTF-8 without the line break it ends with.
std::string SystemText(DWORD error) {
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string utf8;
    if (length > 0 && text != nullptr) {
        DWORD end = length;
        while (end > 0 &&
               (text[end - 1] == L'\r' || text[end - 1] == L'\n' || text[end - 1] == L' ')) {
            --end;
        }
        const int size = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(end), nullptr, 0,
                                             nullptr, nullptr);
        if (size > 0) {
            utf8.resize(static_cast<size_t>(size));
            WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(end), utf8.data(), size, nullptr,
                                nullptr);
        }
    }
    LocalFree(text);
    return utf8.empty() ? "error " + std::to_string(error) : utf8;
}

}  // namespace

CommOpenError OpenErrorFromSystem(uint32_t code, const std::string& device) {
    return {FailureOfLastError(code), code, SystemText(code), device};
}
