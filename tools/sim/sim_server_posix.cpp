#include "tools/sim/sim_server.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

SimServer::SimServer(const SimOptions& options, SimLog& log) : options_(options), log_(log) {
    auto add = [this](int number, PortRole role) {
        Port port;
        port.number = number;
        port.role = role;
        port.name = "COM" + std::to_string(number);
        port.linkPath = options_.portDir + "/" + port.name;
        ports_.push_back(std::move(port));
    };
    if (options_.analyserPort) {
        add(*options_.analyserPort, PortRole::Analyser);
    }
    for (int n : options_.deadPorts) {
        add(n, PortRole::Dead);
    }
    for (int n : options_.foreignPorts) {
        add(n, PortRole::Foreign);
    }
}

SimServer::~SimServer() {
    for (Port& port : ports_) {
        if (port.open) {
            Close(port, "CLOSED");
        }
    }
}

int SimServer::Start(std::string& error) {
    if (!IsDirectory(options_.portDir)) {
        error = "port folder " + options_.portDir + " does not exist or is not a folder";
        return kSimExitUsage;
    }
    for (const Port& port : ports_) {
        if (PathExists(port.linkPath)) {
            error = port.name + " is already taken in " + options_.portDir + " (" + port.linkPath +
                    " exists: another simulator runs there, or remove the stale link)";
            return kSimExitUsage;
        }
    }
    for (Port& port : ports_) {
        if (!OpenRawPty(port.pty, error)) {
            return kSimExitFailure;
        }
        if (!CreatePortLink(port.pty.slavePath, port.linkPath, error)) {
            CloseSimPty(port.pty);
            return errno == EEXIST ? kSimExitUsage : kSimExitFailure;
        }
        port.open = true;
        const std::string name = port.name;
        port.device = std::make_unique<SimDevice>(
            port.role, options_,
            [this, name](SimTime at, const std::string& event) { log_.Write(at, name, event); });
        log_.Write(
            log_.Now(), port.name,
            std::string("OPEN ") + PortRoleName(port.device->Role()) + " " + port.pty.slavePath);
    }
    return kSimExitOk;
}

std::string SimServer::ReadyLine() const {
    std::string line = "READY";
    for (const Port& port : ports_) {
        line += " " + port.name + " " + port.pty.slavePath;
    }
    return line;
}

void SimServer::Close(Port& port, const std::string& event) {
    CloseSimPty(port.pty);
    RemovePortLink(port.pty.slavePath, port.linkPath);
    port.open = false;
    log_.Write(log_.Now(), port.name, event);
}

void SimServer::Flush(Port& port, SimTime now) {
    PacedOutput& output = port.device->Output();
    while (!port.writeBlocked) {
        const std::string_view due = output.Due(now);
        if (due.empty()) {
            return;
        }
        const ssize_t n = write(port.pty.master, due.data(), due.size());
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            // EAGAIN: the slave's input buffer is full (nobody reads it right now).
            port.writeBlocked = true;
            return;
        }
        output.Consume(static_cast<size_t>(n));
        if (static_cast<size_t>(n) < due.size()) {
            port.writeBlocked = true;
        }
    }
}

void SimServer::LogSent(Port& port, double steadyBeforeFlush) {
    const uint64_t sent = port.device->Output().StreamChunksSent();
    if (!options_.logSent || sent == port.sentLogged) {
        return;
    }
    port.sentLogged = sent;
    // The log's own stamps count from the simulator's start; the absolute monotonic time
    // lets another process line its own clock up with ours. It is taken before the
    // writes: no line of this mark left earlier, so a lag measured from it is never too
    // short, even when this process is descheduled right after a write.
    char text[64];
    std::snprintf(text, sizeof text, "SENT %llu steady=%.6f", static_cast<unsigned long long>(sent),
                  steadyBeforeFlush);
    log_.Write(log_.Now(), port.name, text);
}

void SimServer::ReadFrom(Port& port) {
    char buffer[4096];
    for (;;) {
        const ssize_t n = read(port.pty.master, buffer, sizeof buffer);
        if (n > 0) {
            port.device->Receive(buffer, static_cast<size_t>(n), log_.Now());
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && errno != EAGAIN) {
            // Holding our own slave open should make this impossible; closing beats
            // spinning on a descriptor that reports an error forever.
            Close(port, std::string("HANGUP master read failed: ") + std::strerror(errno));
        }
        return;
    }
}

void SimServer::Run(int stopFd) {
    std::vector<pollfd> fds;
    std::vector<Port*> polled;
    for (;;) {
        const SimTime now = log_.Now();
        std::optional<SimTime> deadline;
        bool anyOpen = false;
        for (Port& port : ports_) {
            if (!port.open) {
                continue;
            }
            port.device->Advance(now);
            if (port.device->WantsHangup()) {
                Close(port, "CLOSED");
                continue;
            }
            const double steady = options_.logSent
                                      ? std::chrono::duration<double>(
                                            std::chrono::steady_clock::now().time_since_epoch())
                                            .count()
                                      : 0.0;
            Flush(port, now);
            LogSent(port, steady);
            anyOpen = true;
            if (auto t = port.device->NextDeadline(!port.writeBlocked)) {
                deadline = deadline ? std::min(*deadline, *t) : *t;
            }
        }
        if (!anyOpen) {
            log_.Write(log_.Now(), "-", "EXIT every port hung up");
            return;
        }

        fds.clear();
        polled.clear();
        fds.push_back(pollfd{stopFd, POLLIN, 0});
        for (Port& port : ports_) {
            if (port.open) {
                const short events = POLLIN | (port.writeBlocked ? POLLOUT : 0);
                fds.push_back(pollfd{port.pty.master, events, 0});
                polled.push_back(&port);
            }
        }
        int timeoutMs = -1;
        if (deadline) {
            const long long us = std::max<long long>(0, (*deadline - log_.Now()).count());
            timeoutMs = static_cast<int>(std::min<long long>((us + 999) / 1000, 60000));
        }
        const int ready = poll(fds.data(), fds.size(), timeoutMs);
        if (ready < 0 && errno != EINTR) {
            log_.Write(log_.Now(), "-", std::string("EXIT poll failed: ") + std::strerror(errno));
            return;
        }
        if (ready <= 0) {
            continue;
        }
        if (fds[0].revents != 0) {
            log_.Write(log_.Now(), "-", "EXIT stop requested");
            return;
        }
        for (size_t i = 0; i < polled.size(); ++i) {
            Port& port = *polled[i];
            const short revents = fds[i + 1].revents;
            if ((revents & POLLOUT) != 0) {
                port.writeBlocked = false;
            }
            if ((revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
                ReadFrom(port);
            }
        }
    }
}
