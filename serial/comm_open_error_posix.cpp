#include <cerrno>
#include <system_error>

#include "serial/comm_open_error.h"

namespace {

CommOpenFailure FailureOfErrno(int error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR:
        case ENXIO:  // a device node without its device (an empty UART slot, a released link)
        case ENODEV:
            return CommOpenFailure::NoDevice;
        case EACCES:
        case EPERM:
            return CommOpenFailure::PermissionDenied;
        case EBUSY:        // TIOCEXCL of another holder
        case EWOULDBLOCK:  // the advisory lock of another holder
            return CommOpenFailure::Busy;
        case ENOTTY:
            return CommOpenFailure::NotASerialPort;
        default:
            return CommOpenFailure::Other;
    }
}

}  // namespace

CommOpenError OpenErrorFromSystem(uint32_t code, const std::string& device) {
    const int error = static_cast<int>(code);
    return {FailureOfErrno(error), code, std::generic_category().message(error), device};
}
