#pragma once
// Why an open failed, kept by value as the system said it where it failed, before any
// clean-up could overwrite errno or GetLastError (as Qt's serial module keeps its
// QSerialPortErrorInfo). The platform reads its codes in comm_open_error_posix.cpp and
// comm_open_error_win32.cpp.

#include <cstdint>
#include <string>

/// What an open failure means for the user.
enum class CommOpenFailure : uint8_t {
    None,              ///< the last open succeeded, or none was tried
    NoDevice,          ///< no device for the number, or the system knows no such device
    PermissionDenied,  ///< the user may not open the device (POSIX EACCES, EPERM)
    Busy,              ///< another program holds it (POSIX EBUSY, the advisory lock;
                       ///< Windows ERROR_ACCESS_DENIED, which a COM port gives while open)
    NotASerialPort,    ///< the device is no terminal (POSIX ENOTTY)
    GivenUp,           ///< the caller's wait gave the open up (CommOpenWait)
    Other,             ///< anything else, e.g. a Bluetooth link that did not connect
};

struct CommOpenError {
    CommOpenFailure failure = CommOpenFailure::None;
    uint32_t code = 0;   ///< errno (POSIX) or GetLastError (Windows); 0 when the system gave none
    std::string text;    ///< the system's text for `code` (UTF-8), or ours when it gave none
    std::string device;  ///< the device path tried; empty when the port number has none
};

/// The failure the system reported with `code` (errno on POSIX, GetLastError on Windows)
/// while opening `device`, with the system's text for it.
CommOpenError OpenErrorFromSystem(uint32_t code, const std::string& device);

/// A failure of our own (no system code): `text` says what went wrong.
CommOpenError OpenErrorOfOurOwn(CommOpenFailure failure, std::string text,
                                const std::string& device);

/// One line for a log: what it means, the device, the system's text and code, e.g.
/// "permission denied - /dev/rfcomm0: Permission denied (code 13)".
std::string DescribeOpenError(const CommOpenError& error);
