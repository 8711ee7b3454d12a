#include "tests/sim/port_client.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

namespace {
using Clock = std::chrono::steady_clock;

bool PollOnce(int fd, short events, std::chrono::milliseconds wait, short& revents) {
    pollfd p{fd, events, 0};
    const int n = poll(&p, 1, static_cast<int>(wait.count()));
    revents = n > 0 ? p.revents : 0;
    return n > 0;
}
}  // namespace

PortClient::PortClient(const std::string& path) {
    fd_ = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd_ < 0) {
        return;
    }
    termios tio{};
    tcgetattr(fd_, &tio);
    cfmakeraw(&tio);
    cfsetispeed(&tio, B9600);
    cfsetospeed(&tio, B9600);
    tcsetattr(fd_, TCSANOW, &tio);
}

PortClient::~PortClient() {
    if (fd_ >= 0) {
        close(fd_);
    }
}

void PortClient::Send(const std::string& command) {
    SendRaw(command + "\r");
}

void PortClient::SendRaw(const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size() && fd_ >= 0) {
        const ssize_t n = write(fd_, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
        } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
            return;
        } else {
            short revents = 0;
            PollOnce(fd_, POLLOUT, std::chrono::milliseconds(100), revents);
        }
    }
}

bool PortClient::Pump(std::chrono::milliseconds wait) {
    short revents = 0;
    if (hungUp_ || !PollOnce(fd_, POLLIN, wait, revents)) {
        return !hungUp_;
    }
    char chunk[4096];
    // Bounded: a port that floods would otherwise keep this loop reading for ever.
    for (int round = 0; round < 16; ++round) {
        const ssize_t n = read(fd_, chunk, sizeof chunk);
        if (n > 0) {
            buffer_.append(chunk, static_cast<size_t>(n));
            continue;
        }
        if (n < 0 && errno == EAGAIN) {
            return true;
        }
        // 0 with POLLHUP, or EIO: the master is gone.
        if ((revents & POLLHUP) != 0 || (n < 0 && errno == EIO)) {
            hungUp_ = true;
        }
        return !hungUp_;
    }
    return true;
}

std::optional<std::string> PortClient::ReadLine(std::chrono::milliseconds timeout) {
    const auto end = Clock::now() + timeout;
    for (;;) {
        const auto cr = buffer_.find('\r');
        if (cr != std::string::npos) {
            std::string line = buffer_.substr(0, cr);
            buffer_.erase(0, cr + 1);
            return line;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
        if (left.count() <= 0 || !Pump(std::min(left, std::chrono::milliseconds(50)))) {
            if (Clock::now() >= end || hungUp_) {
                return std::nullopt;
            }
        }
    }
}

std::string PortClient::ReadFor(std::chrono::milliseconds window) {
    const auto end = Clock::now() + window;
    while (Clock::now() < end && Pump(std::chrono::milliseconds(20))) {
    }
    std::string all;
    all.swap(buffer_);
    return all;
}

std::string PortClient::ReadBytes(size_t count, std::chrono::milliseconds timeout) {
    const auto end = Clock::now() + timeout;
    while (buffer_.size() < count && Clock::now() < end && Pump(std::chrono::milliseconds(20))) {
    }
    std::string taken = buffer_.substr(0, std::min(count, buffer_.size()));
    buffer_.erase(0, taken.size());
    return taken;
}

bool PortClient::WaitHangup(std::chrono::milliseconds timeout) {
    const auto end = Clock::now() + timeout;
    while (!hungUp_ && Clock::now() < end) {
        Pump(std::chrono::milliseconds(20));
    }
    return hungUp_;
}
