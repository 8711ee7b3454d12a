#pragma once
// The analyser's side of a pseudo-terminal, played by the test on the GUI thread: a
// socket notifier collects each CR-terminated command and a responder decides what
// bytes go back. Real bytes through the kernel's tty layer, no threads.

#include <QSocketNotifier>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/pty_pair.h"

class ScriptedPeer {
public:
    /// Returns the bytes to send back for one command (the CR is not part of it).
    using Responder = std::function<std::string(const std::string& command)>;

    /// Creates a pty and a link COM<port> to its slave in `portDir`.
    ScriptedPeer(const std::string& portDir, int port);
    ~ScriptedPeer();
    ScriptedPeer(const ScriptedPeer&) = delete;
    ScriptedPeer& operator=(const ScriptedPeer&) = delete;

    void SetResponder(Responder responder) { responder_ = std::move(responder); }
    /// Writes bytes to the program's side at once.
    void Send(const std::string& bytes);
    /// Closes the pty: the program's side sees a hang-up.
    void HangUp();

    /// Every command received so far, in order.
    const std::vector<std::string>& Commands() const { return commands_; }
    int CountOf(const std::string& command) const;

private:
    void OnReadable();

    PtyPair pty_;
    std::string pending_;
    std::vector<std::string> commands_;
    Responder responder_;
    QSocketNotifier* notifier_ = nullptr;
};

/// The usual analyser: acknowledges the service commands, identifies as 'ZOR GX40' /
/// 'SN42', and otherwise answers with an empty line.
std::string AnalyserReply(const std::string& command);
