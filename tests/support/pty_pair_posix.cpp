#include "tests/support/pty_pair.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

PortDir::PortDir() {
    if (dir_.Path().empty()) {
        throw std::runtime_error("no temporary folder");
    }
    setenv("FUMILINK_PORT_DIR", dir_.Path().c_str(), 1);
}

PortDir::~PortDir() {
    unsetenv("FUMILINK_PORT_DIR");
}

PtyPair::PtyPair(const std::string& folder, int port) {
    if (openpty(&master_, &slave_, nullptr, nullptr, nullptr) != 0) {
        throw std::runtime_error("openpty failed");
    }
    // The master never echoes or translates: the device side sees raw bytes.
    termios tio{};
    tcgetattr(slave_, &tio);
    cfmakeraw(&tio);
    tcsetattr(slave_, TCSANOW, &tio);
    slavePath_ = ttyname(slave_);
    link_ = folder + "/COM" + std::to_string(port);
    if (symlink(slavePath_.c_str(), link_.c_str()) != 0) {
        throw std::runtime_error("symlink failed: " + link_);
    }
}

PtyPair::~PtyPair() {
    HangUp();
    RemoveLink();
}

void PtyPair::RemoveLink() {
    if (!link_.empty()) {
        unlink(link_.c_str());
        link_.clear();
    }
}

void PtyPair::DeviceWrite(const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t put = write(master_, bytes.data() + done, bytes.size() - done);
        if (put <= 0) {
            throw std::runtime_error("device write failed");
        }
        done += static_cast<size_t>(put);
    }
}

std::string PtyPair::DeviceRead(size_t expected, std::chrono::milliseconds deadline) {
    std::string got;
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (got.size() < expected && std::chrono::steady_clock::now() < end) {
        pollfd in{master_, POLLIN, 0};
        if (poll(&in, 1, 50) > 0 && (in.revents & POLLIN) != 0) {
            char buffer[256];
            const ssize_t n = read(master_, buffer, sizeof buffer);
            if (n > 0) {
                got.append(buffer, static_cast<size_t>(n));
            }
        }
    }
    return got;
}

void PtyPair::HangUp() {
    if (slave_ >= 0) {
        close(slave_);
        slave_ = -1;
    }
    if (master_ >= 0) {
        close(master_);
        master_ = -1;
    }
}
