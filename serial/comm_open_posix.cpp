#include <fcntl.h>

#include <cerrno>

#include "serial/comm_open.h"

CommHandle OpenCommDevice(const std::string& path, const CommOpenWait&, CommOpenError& error) {
    // Non-blocking: a tty that waits for carrier (an rfcomm link still connecting) does not
    // hold the open up, so there is nothing to wait for.
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = OpenErrorFromSystem(static_cast<uint32_t>(errno), path);
    }
    return fd;
}
