#include "tests/support/scripted_ports.h"

#include <algorithm>
#include <optional>
#include <stdexcept>

#include "serial/comm_port_backend.h"
#include "serial/comm_types.h"

namespace {

constexpr const char* kPathPrefix = "scripted:COM";

int PortOfPath(const std::string& path) {
    const std::string prefix = kPathPrefix;
    if (path.compare(0, prefix.size(), prefix) != 0) {
        return 0;
    }
    return std::stoi(path.substr(prefix.size()));
}

}  // namespace

/// CommPort's back end on a scripted peer: TComm's watcher and hand-shake run as on a real
/// port, with the peer's queue in place of the driver's.
class ScriptedBackend final : public CommPortBackend {
public:
    ScriptedBackend(ScriptedPorts& ports, ArrivalCounter& arrivals)
        : ports_(ports), arrivals_(arrivals) {}
    ~ScriptedBackend() override { Close(); }

    std::string DevicePath(uint8_t port) const override {
        std::lock_guard lock(ports_.mutex_);
        return ports_.Find(port) != nullptr ? kPathPrefix + std::to_string(port) : std::string();
    }

    bool Open(const std::string& path, const CommOpenWait&, CommOpenError& error) override {
        std::lock_guard lock(ports_.mutex_);
        ScriptedPeer* const peer = ports_.Find(PortOfPath(path));
        if (peer == nullptr || peer->hungUp_) {
            error = OpenErrorOfOurOwn(CommOpenFailure::NoDevice, "no such port", path);
            return false;
        }
        if (peer->refusal_ != CommOpenFailure::None) {
            error = OpenErrorOfOurOwn(peer->refusal_, peer->refusalText_, path);
            return false;
        }
        if (peer->open_) {
            error = OpenErrorOfOurOwn(CommOpenFailure::Busy, "the port is open already", path);
            return false;
        }
        peer->open_ = true;
        peer->received_.clear();
        peer->pending_.clear();
        peer->mask_ = 0;
        peer->wake_ = false;
        peer_ = peer;
        return true;
    }

    bool IsOpen() const override { return peer_ != nullptr; }

    void Close() override {
        if (peer_ == nullptr) {
            return;
        }
        {
            std::lock_guard lock(ports_.mutex_);
            peer_->open_ = false;
            peer_->received_.clear();
            peer_->wake_ = true;
        }
        ports_.changed_.notify_all();
        peer_ = nullptr;
    }

    bool ApplySettings(const DCB&, uint32_t, uint32_t) override { return IsOpen(); }

    void SetEventMask(uint32_t evMask) override {
        {
            std::lock_guard lock(ports_.mutex_);
            peer_->mask_ = evMask;
            peer_->wake_ = true;
        }
        ports_.changed_.notify_all();
    }

    CommWaitResult WaitEvent() override {
        std::unique_lock lock(ports_.mutex_);
        ScriptedPeer* const peer = peer_;
        for (;;) {
            if (peer->wake_) {
                peer->wake_ = false;
                return {CommWaitStatus::Woken, 0};
            }
            if (peer->hungUp_) {
                return {CommWaitStatus::Gone, 0};
            }
            if ((peer->mask_ & EV_RXCHAR_BIT) != 0 &&
                arrivals_
                    .Arrived([peer] {
                        return std::optional<uint32_t>(
                            static_cast<uint32_t>(peer->received_.size()));
                    })
                    .value_or(false)) {
                return {CommWaitStatus::Event, EV_RXCHAR_BIT};
            }
            ports_.changed_.wait(lock);
        }
    }

    uint32_t QueuedBytes() override { return QueueStatus().inQueue; }
    uint32_t ModemStatus() override { return 0; }  // no modem lines, as on a pty
    void SetDtr(bool) override {}

    void Purge() override {
        std::lock_guard lock(ports_.mutex_);
        peer_->received_.clear();
    }

    CommQueueStatus QueueStatus() override {
        std::lock_guard lock(ports_.mutex_);
        if (peer_ == nullptr || peer_->hungUp_) {
            return {0, 0};
        }
        return {0, static_cast<uint32_t>(peer_->received_.size())};
    }

    int32_t Read(void* buffer, int32_t count) override {
        std::lock_guard lock(ports_.mutex_);
        if (peer_ == nullptr || count <= 0) {
            return 0;
        }
        const size_t taken = std::min(peer_->received_.size(), static_cast<size_t>(count));
        std::copy_n(peer_->received_.begin(), taken, static_cast<char*>(buffer));
        peer_->received_.erase(0, taken);
        return static_cast<int32_t>(taken);
    }

    CommWriteResult Write(const void* buffer, int32_t count) override {
        std::vector<std::string> commands;
        ScriptedPeer::Responder responder;
        {
            std::lock_guard lock(ports_.mutex_);
            if (peer_ == nullptr || peer_->hungUp_ || count <= 0) {
                return {0, false};
            }
            peer_->pending_.append(static_cast<const char*>(buffer), static_cast<size_t>(count));
            size_t cr;
            while ((cr = peer_->pending_.find('\r')) != std::string::npos) {
                commands.push_back(peer_->pending_.substr(0, cr));
                peer_->pending_.erase(0, cr + 1);
            }
            peer_->commands_.insert(peer_->commands_.end(), commands.begin(), commands.end());
            responder = peer_->responder_;
        }
        // The responder may send, hang up or reach into the link itself: no lock held.
        ScriptedPeer& peer = *peer_;
        for (const std::string& command : commands) {
            if (responder) {
                peer.Send(responder(command));
            }
        }
        return {count, false};
    }

    bool Gone() override {
        std::lock_guard lock(ports_.mutex_);
        return peer_ != nullptr && peer_->hungUp_;
    }

private:
    ScriptedPorts& ports_;
    ArrivalCounter& arrivals_;
    ScriptedPeer* peer_ = nullptr;  // owner's thread; stable while a watcher runs
};

void ScriptedPeer::SetResponder(Responder responder) {
    std::lock_guard lock(ports_.mutex_);
    responder_ = std::move(responder);
}

void ScriptedPeer::Send(const std::string& bytes) {
    {
        std::lock_guard lock(ports_.mutex_);
        if (!open_ || hungUp_ || bytes.empty()) {
            return;
        }
        received_ += bytes;
    }
    ports_.changed_.notify_all();
}

void ScriptedPeer::HangUp() {
    {
        std::lock_guard lock(ports_.mutex_);
        hungUp_ = true;
        received_.clear();
    }
    ports_.changed_.notify_all();
}

void ScriptedPeer::RefuseOpen(CommOpenFailure failure, std::string text) {
    std::lock_guard lock(ports_.mutex_);
    refusal_ = failure;
    refusalText_ = std::move(text);
}

std::vector<std::string> ScriptedPeer::Commands() const {
    std::lock_guard lock(ports_.mutex_);
    return commands_;
}

int ScriptedPeer::CountOf(const std::string& command) const {
    std::lock_guard lock(ports_.mutex_);
    return static_cast<int>(std::count(commands_.begin(), commands_.end(), command));
}

bool ScriptedPeer::IsOpen() const {
    std::lock_guard lock(ports_.mutex_);
    return open_;
}

ScriptedPorts::~ScriptedPorts() = default;

ScriptedPeer* ScriptedPorts::Find(int number) {
    const auto peer = peers_.find(number);
    return peer == peers_.end() ? nullptr : peer->second.get();
}

ScriptedPeer& ScriptedPorts::Add(int port, ScriptedPeer::Responder responder) {
    std::lock_guard lock(mutex_);
    auto& peer = peers_[port];
    peer.reset(new ScriptedPeer(*this));
    peer->responder_ = std::move(responder);
    return *peer;
}

ScriptedPeer& ScriptedPorts::Peer(int port) {
    std::lock_guard lock(mutex_);
    return *peers_.at(port);
}

void ScriptedPorts::Remove(int port) {
    std::lock_guard lock(mutex_);
    peers_.erase(port);
}

std::vector<std::string> ScriptedPorts::ListPorts() {
    std::lock_guard lock(mutex_);
    if (!listingFailure_.empty()) {
        throw std::runtime_error(listingFailure_);
    }
    std::vector<std::string> names;
    for (const auto& [number, peer] : peers_) {
        if (!peer->hungUp_) {
            names.push_back("COM" + std::to_string(number));
        }
    }
    return names;
}

std::unique_ptr<CommPortBackend> ScriptedPorts::MakeBackend(ArrivalCounter& arrivals) {
    return std::make_unique<ScriptedBackend>(*this, arrivals);
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
