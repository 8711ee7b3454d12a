#pragma once
// Ports in memory whose other side a test plays: a ScriptedPeer collects each CR-terminated
// command the program writes and a responder decides what bytes go back, at once. With a
// ManualClock this runs the link's protocol without pseudo-terminals and without real time:
// the serial layer's own tests are where real bytes go through the kernel.
//
// Thread safety: the peers and the provider are used on the test's thread; the back ends'
// watchers (TComm's thread) wait on a condition the peers signal.

#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "serial/comm_open_error.h"
#include "serial/port_provider.h"

class ScriptedPorts;

class ScriptedPeer {
public:
    /// Returns the bytes to send back for one command (the CR is not part of it).
    using Responder = std::function<std::string(const std::string& command)>;

    void SetResponder(Responder responder);
    /// Puts bytes into the program's receive queue at once; lost while the port is closed.
    void Send(const std::string& bytes);
    /// The program's side sees a hang-up, and the port leaves the list for good.
    void HangUp();
    /// Every open fails from now on, as the system says `failure` (none: opens succeed).
    void RefuseOpen(CommOpenFailure failure, std::string text = "refused by the test");

    /// Every command received so far, in order.
    std::vector<std::string> Commands() const;
    int CountOf(const std::string& command) const;
    bool IsOpen() const;

private:
    friend class ScriptedPorts;
    friend class ScriptedBackend;
    explicit ScriptedPeer(ScriptedPorts& ports) : ports_(ports) {}

    ScriptedPorts& ports_;
    // Guarded by the provider's mutex.
    Responder responder_;
    std::vector<std::string> commands_;
    std::string pending_;   // bytes of a command without its CR yet
    std::string received_;  // the program's receive queue
    bool open_ = false;
    bool hungUp_ = false;
    bool wake_ = false;  // SetEventMask ended the watcher's wait
    uint32_t mask_ = 0;
    CommOpenFailure refusal_ = CommOpenFailure::None;
    std::string refusalText_;
};

class ScriptedPorts final : public PortProvider {
public:
    ScriptedPorts() = default;
    ~ScriptedPorts() override;
    ScriptedPorts(const ScriptedPorts&) = delete;
    ScriptedPorts& operator=(const ScriptedPorts&) = delete;

    /// A peer on COM `port`, listed from now on.
    ScriptedPeer& Add(int port, ScriptedPeer::Responder responder);
    /// The peer of COM `port` (added before).
    ScriptedPeer& Peer(int port);
    /// COM `port` is no more (it must not be open).
    void Remove(int port);
    /// The port list throws `reason` from now on: the search fails in itself.
    void FailListing(std::string reason) { listingFailure_ = std::move(reason); }

    std::vector<std::string> ListPorts() override;
    bool IsBluetoothLink(int) override { return false; }
    bool OutQueueShowsLinkUp(int) override { return false; }
    std::unique_ptr<CommPortBackend> MakeBackend(ArrivalCounter& arrivals) override;

private:
    friend class ScriptedPeer;
    friend class ScriptedBackend;

    ScriptedPeer* Find(int number);

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::map<int, std::unique_ptr<ScriptedPeer>> peers_;
    std::string listingFailure_;
};

/// The usual analyser: acknowledges the service commands, identifies as 'ZOR GX40' /
/// 'GX40 V2.31' / 'SN42', and otherwise answers with an empty line.
std::string AnalyserReply(const std::string& command);
