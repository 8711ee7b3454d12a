#include "tests/sim/sim_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace {
using Clock = std::chrono::steady_clock;

bool PollOnce(int fd, short events, std::chrono::milliseconds wait, short& revents) {
    pollfd p{fd, events, 0};
    const int n = poll(&p, 1, static_cast<int>(wait.count()));
    revents = n > 0 ? p.revents : 0;
    return n > 0;
}
}  // namespace

TempFolder::TempFolder() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr && *base ? base : "/tmp") + "/simtest.XXXXXX";
    if (mkdtemp(pattern.data()) != nullptr) {
        path_ = pattern;
    }
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

SimProcess::SimProcess(const TempFolder& folder, const std::vector<std::string>& args)
    : stdoutPath_(folder / "sim.stdout"), stderrPath_(folder / "sim.stderr") {
    std::vector<std::string> argv = {FUMILINK_SIM_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> cargs;
    for (auto& a : argv) {
        cargs.push_back(a.data());
    }
    cargs.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, stdoutPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addopen(&actions, 2, stderrPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    if (posix_spawn(&pid_, cargs[0], &actions, nullptr, cargs.data(), environ) != 0) {
        pid_ = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
}

SimProcess::~SimProcess() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
}

std::optional<std::string> SimProcess::WaitReady(std::chrono::milliseconds timeout) {
    const auto end = Clock::now() + timeout;
    while (pid_ > 0) {
        const std::string out = Stdout();
        const auto nl = out.find('\n');
        if (out.rfind("READY ", 0) == 0 && nl != std::string::npos) {
            return out.substr(0, nl);
        }
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            break;
        }
        if (Clock::now() > end) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return std::nullopt;
}

int SimProcess::Stop(int signal, std::chrono::milliseconds timeout) {
    if (pid_ > 0) {
        kill(pid_, signal);
    }
    return WaitExit(timeout);
}

int SimProcess::WaitExit(std::chrono::milliseconds timeout) {
    const auto end = Clock::now() + timeout;
    while (pid_ > 0) {
        int status = 0;
        const pid_t r = waitpid(pid_, &status, WNOHANG);
        if (r == pid_) {
            pid_ = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        if (Clock::now() > end) {
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return -1;
}

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
