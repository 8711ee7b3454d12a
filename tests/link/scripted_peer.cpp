#include "scripted_peer.h"

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <stdexcept>

ScriptedPeer::ScriptedPeer(const std::string& portDir, int port) {
    int slave = -1;
    char name[256] = {};
    if (openpty(&master_, &slave, name, nullptr, nullptr) != 0) {
        throw std::runtime_error("openpty failed");
    }
    termios tio{};
    tcgetattr(slave, &tio);
    cfmakeraw(&tio);
    tcsetattr(slave, TCSANOW, &tio);
    slaveKeeper_ = slave;
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
    linkPath_ = portDir + "/COM" + std::to_string(port);
    if (symlink(name, linkPath_.c_str()) != 0) {
        throw std::runtime_error("symlink failed: " + linkPath_);
    }
    notifier_ = new QSocketNotifier(master_, QSocketNotifier::Read);
    QObject::connect(notifier_, &QSocketNotifier::activated, [this] { OnReadable(); });
}

ScriptedPeer::~ScriptedPeer() {
    HangUp();
}

void ScriptedPeer::HangUp() {
    delete notifier_;
    notifier_ = nullptr;
    if (!linkPath_.empty()) {
        unlink(linkPath_.c_str());
        linkPath_.clear();
    }
    if (slaveKeeper_ >= 0) {
        close(slaveKeeper_);
        slaveKeeper_ = -1;
    }
    if (master_ >= 0) {
        close(master_);
        master_ = -1;
    }
}

void ScriptedPeer::Send(const std::string& bytes) {
    size_t done = 0;
    while (master_ >= 0 && done < bytes.size()) {
        const ssize_t n = write(master_, bytes.data() + done, bytes.size() - done);
        if (n <= 0) {
            break;
        }
        done += static_cast<size_t>(n);
    }
}

void ScriptedPeer::OnReadable() {
    char buffer[512];
    const ssize_t n = read(master_, buffer, sizeof buffer);
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
