#include "scripted_peer.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>

ScriptedPeer::ScriptedPeer(const std::string& portDir, int port) : pty_(portDir, port) {
    const int master = pty_.MasterFd();
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    notifier_ = new QSocketNotifier(master, QSocketNotifier::Read);
    QObject::connect(notifier_, &QSocketNotifier::activated, [this] { OnReadable(); });
}

ScriptedPeer::~ScriptedPeer() {
    HangUp();
}

void ScriptedPeer::HangUp() {
    delete notifier_;
    notifier_ = nullptr;
    pty_.RemoveLink();
    pty_.HangUp();
}

void ScriptedPeer::Send(const std::string& bytes) {
    size_t done = 0;
    while (pty_.MasterFd() >= 0 && done < bytes.size()) {
        const ssize_t n = write(pty_.MasterFd(), bytes.data() + done, bytes.size() - done);
        if (n <= 0) {
            break;
        }
        done += static_cast<size_t>(n);
    }
}

void ScriptedPeer::OnReadable() {
    char buffer[512];
    const ssize_t n = read(pty_.MasterFd(), buffer, sizeof buffer);
    if (n <= 0) {
        return;
    }
    pending_.append(buffer, static_cast<size_t>(n));
    size_t cr;
    while ((cr = pending_.find('\r')) != std::string::npos) {
        const std::string command = pending_.substr(0, cr);
        pending_.erase(0, cr + 1);
        commands_.push_back(command);
        if (responder_) {
            Send(responder_(command));
        }
    }
}

int ScriptedPeer::CountOf(const std::string& command) const {
    return static_cast<int>(std::count(commands_.begin(), commands_.end(), command));
}

std::string AnalyserReply(const std::string& command) {
    if (command.rfind("SERVICE", 0) == 0) {
        return "OK\r";
    }
    if (command == "R001") {
        return "ZOR GX40\r";
    }
    if (command == "R002") {
        return "GX40 V2.31\r";
    }
    if (command == "R004") {
        return "SN42\r";
    }
    if (command == "w904") {
        return "OK\r";
    }
    return "\r";
}
