#include "tools/sim/sim_server.h"

#include <poll.h>
#include <sys/file.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "sim/sim_ports.h"

SimServer::SimServer(const SimOptions& options, SimLog& log) : options_(options), log_(log) {
    for (const SimPortPlan& plan : PlanPorts(options_)) {
        Port port;
        port.number = plan.number;
        port.role = plan.role;
        port.replay = plan.replay;
        port.name = "COM" + std::to_string(plan.number);
        port.linkPath = options_.portDir + "/" + port.name;
        if (plan.link) {
            port.link.emplace(*plan.link);
            port.rfcommName = "rfcomm" + std::to_string(plan.number);
            port.rfcommPath = options_.portDir + "/" + port.rfcommName;
        }
        ports_.push_back(std::move(port));
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
        for (const std::string& path : {port.linkPath, port.rfcommPath}) {
            if (!path.empty() && PathExists(path)) {
                error = port.name + " is already taken in " + options_.portDir + " (" + path +
                        " exists: another simulator runs there, or remove the stale link)";
                return kSimExitUsage;
            }
        }
        if (Watched(port) && openWatch_.fd() < 0) {
            error = "cannot watch the ports for opens (inotify): no Bluetooth links, no replay";
            return kSimExitFailure;
        }
    }
    for (Port& port : ports_) {
        if (!OpenRawPty(port.pty, error)) {
            return kSimExitFailure;
        }
        // Watched before anyone can find it: no open may go unseen.
        if (Watched(port) && (port.watch = openWatch_.Add(port.pty.slavePath, error)) < 0) {
            CloseSimPty(port.pty);
            return kSimExitFailure;
        }
        if (!CreateLinks(port, error)) {
            openWatch_.Remove(port.watch);
            port.watch = -1;
            CloseSimPty(port.pty);
            return errno == EEXIST ? kSimExitUsage : kSimExitFailure;
        }
        port.open = true;
        const std::string name = port.name;
        port.device = std::make_unique<SimDevice>(
            port.role, options_,
            [this, name](SimTime at, const std::string& event) { log_.Write(at, name, event); },
            port.replay);
        ApplyRefusal(port);
        log_.Write(
            log_.Now(), port.name,
            std::string("OPEN ") + PortRoleName(port.device->Role()) + " " + port.pty.slavePath);
    }
    return kSimExitOk;
}

bool SimServer::Watched(const Port& port) {
    return port.link.has_value() || port.role == PortRole::Replay;
}

void SimServer::ApplyRefusal(Port& port) {
    const bool refuse = port.openers == 0 && port.device && port.device->NextOpenRefused();
    if (refuse != port.locked && flock(port.pty.slave, refuse ? LOCK_EX | LOCK_NB : LOCK_UN) == 0) {
        port.locked = refuse;
    }
}

std::string SimServer::ReadyLine() const {
    std::string line = "READY";
    for (const Port& port : ports_) {
        line += " " + port.name + " " + port.pty.slavePath;
    }
    return line;
}

const std::string& SimServer::LinkTarget(const Port& port) {
    return port.link ? port.rfcommName : port.pty.slavePath;
}

bool SimServer::CreateLinks(Port& port, std::string& error) {
    if (port.link && !CreatePortLink(port.pty.slavePath, port.rfcommPath, error)) {
        return false;
    }
    if (!CreatePortLink(LinkTarget(port), port.linkPath, error)) {
        if (port.link) {
            RemovePortLink(port.pty.slavePath, port.rfcommPath);
        }
        return false;
    }
    return true;
}

void SimServer::RemoveLinks(Port& port) {
    RemovePortLink(LinkTarget(port), port.linkPath);
    if (port.link) {
        RemovePortLink(port.pty.slavePath, port.rfcommPath);
    }
}

bool SimServer::Reachable(const Port& port) {
    return !port.link || port.link->state() == SimLink::State::Up;
}

void SimServer::Close(Port& port, const std::string& event) {
    openWatch_.Remove(port.watch);
    port.watch = -1;
    CloseSimPty(port.pty);
    RemoveLinks(port);
    port.open = false;
    log_.Write(log_.Now(), port.name, event);
}

void SimServer::TakeOpenEvents() {
    const std::vector<SimOpenWatch::Event> events = openWatch_.Take();
    for (auto event = events.begin(); event != events.end(); ++event) {
        const auto port = std::find_if(ports_.begin(), ports_.end(), [&](const Port& p) {
            return p.open && p.watch >= 0 && p.watch == event->watch;
        });
        if (port == ports_.end()) {
            continue;
        }
        const SimTime now = log_.Now();
        if (event->opened) {
            // A refused open (our lock) is seen here too: the device counts it as refused.
            if (port->openers++ == 0 && port->device->Opened(now) && port->link) {
                port->link->Open(now);
                const SimBluetoothLink& settings = port->link->settings();
                log_.Write(now, port->name,
                           std::string("LINK connecting (") + (settings.fails ? "fails" : "up") +
                               " in " + std::to_string(settings.after.count() / 1000) + " ms)");
            }
        } else if (port->openers > 0 && --port->openers == 0) {
            if (port->link) {
                CloseLink(*port, event, events.end(), now);
            }
            port->device->Closed(now);
            ApplyRefusal(*port);
        }
    }
}

void SimServer::CloseLink(Port& port, std::vector<SimOpenWatch::Event>::const_iterator event,
                          std::vector<SimOpenWatch::Event>::const_iterator end, SimTime now) {
    // What the program wrote before it closed the port went out on this link,
    // unless it has opened the port again already: then what waits may as well be
    // the new connection's (a pty keeps no boundary between the two), and the
    // program, which waits for its replies, sends nothing just before it closes.
    const bool reopened = std::any_of(event + 1, end, [&](const auto& later) {
        return later.watch == event->watch && later.opened;
    });
    if (!reopened) {
        ReadFrom(port);
    }
    const bool wasUp = port.link->state() != SimLink::State::Down;
    port.link->Close();
    port.device->LinkDown(now);
    port.writeBlocked = false;
    // Replies the program never read went down with the link.
    tcflush(port.pty.slave, TCIFLUSH);
    if (wasUp) {
        log_.Write(now, port.name, "LINK down");
    }
}

void SimServer::AdvanceLink(Port& port, SimTime now) {
    std::string delivered;
    switch (port.link->Advance(now, delivered)) {
        case SimLink::Change::CameUp:
            log_.Write(now, port.name, "LINK up");
            if (!delivered.empty()) {
                port.device->Receive(delivered.data(), delivered.size(), now);
            }
            break;
        case SimLink::Change::Failed:
            HangUpLink(port, now);
            break;
        case SimLink::Change::None:
            break;
    }
}

void SimServer::HangUpLink(Port& port, SimTime now) {
    log_.Write(now, port.name,
               "LINK failed after " + std::to_string(port.link->settings().after.count() / 1000) +
                   " ms: hang-up");
    port.device->LinkDown(now);
    ReplacePty(port, now);
}

void SimServer::ReplacePty(Port& port, SimTime now) {
    port.device->Closed(now);
    port.writeBlocked = false;
    port.openers = 0;
    openWatch_.Remove(port.watch);
    port.watch = -1;
    // The new pty is watched before it can be found, and goes behind the rfcomm name
    // before the old one closes: the program, told of the hang-up, may open the port
    // again at once, and a port list read meanwhile still holds the port.
    std::string error;
    SimPty fresh;
    int watch = -1;
    // Behind a Bluetooth link's rfcomm name, or else right behind COM<n>.
    const std::string& name = port.link ? port.rfcommPath : port.linkPath;
    const std::string temporary = name + ".new";
    unlink(temporary.c_str());
    if (!OpenRawPty(fresh, error) || (watch = openWatch_.Add(fresh.slavePath, error)) < 0 ||
        !CreatePortLink(fresh.slavePath, temporary, error) ||
        rename(temporary.c_str(), name.c_str()) != 0) {
        if (error.empty()) {
            error = std::string("replacing the pty: ") + std::strerror(errno);
        }
        openWatch_.Remove(watch);
        unlink(temporary.c_str());
        CloseSimPty(fresh);
        Close(port, "CLOSED " + error);
        return;
    }
    CloseSimPty(port.pty);  // the program's descriptor sees the hang-up
    port.pty = fresh;
    port.watch = watch;
    port.locked = false;
    ApplyRefusal(port);
    log_.Write(log_.Now(), port.name,
               "OPEN " + std::string(PortRoleName(port.device->Role())) + " " + port.pty.slavePath);
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
            if (port.link) {
                const std::string heard =
                    port.link->Pass(std::string(buffer, static_cast<size_t>(n)));
                port.device->Receive(heard.data(), heard.size(), log_.Now());
            } else {
                port.device->Receive(buffer, static_cast<size_t>(n), log_.Now());
            }
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
        const auto consider = [&deadline](std::optional<SimTime> t) {
            if (t) {
                deadline = deadline ? std::min(*deadline, *t) : *t;
            }
        };
        for (Port& port : ports_) {
            if (port.open && port.link) {
                AdvanceLink(port, now);
                consider(port.link->NextDeadline());
            }
            // Behind a Bluetooth link that is not up, the analyser stands still.
            if (!port.open || !Reachable(port)) {
                anyOpen = anyOpen || port.open;
                continue;
            }
            port.device->Advance(now);
            if (port.device->WantsHangup()) {
                Close(port, "CLOSED");
                continue;
            }
            if (port.device->TakeConnectionHangup()) {
                ReplacePty(port, now);
                anyOpen = anyOpen || port.open;
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
            consider(port.device->NextDeadline(!port.writeBlocked));
        }
        if (!anyOpen) {
            log_.Write(log_.Now(), "-", "EXIT every port hung up");
            return;
        }

        fds.clear();
        polled.clear();
        fds.push_back(pollfd{stopFd, POLLIN, 0});
        fds.push_back(pollfd{openWatch_.fd(), POLLIN, 0});  // poll() skips a negative fd
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
        // Opens first: bytes the program writes right after opening belong to the new
        // connection. A close reads what came before it itself.
        if (fds[1].revents != 0) {
            TakeOpenEvents();
        }
        for (size_t i = 0; i < polled.size(); ++i) {
            Port& port = *polled[i];
            if (!port.open) {
                continue;
            }
            const short revents = fds[i + 2].revents;
            if ((revents & POLLOUT) != 0) {
                port.writeBlocked = false;
            }
            if ((revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
                ReadFrom(port);
            }
        }
    }
}
