#include <fcntl.h>

#include "serial/comm_open.h"

CommHandle OpenCommDevice(const std::string& path, const CommOpenWait&) {
    // Non-blocking: a tty that waits for carrier (an rfcomm link still connecting) does not
    // hold the open up, so there is nothing to wait for.
    return open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
}
