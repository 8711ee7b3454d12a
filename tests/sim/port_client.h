#pragma once
// A client that talks to one of the simulator's ports the way the program does (raw pty,
// CR-framed lines).

#include <chrono>
#include <optional>
#include <string>

/// One port as the program sees it.
class PortClient {
public:
    /// Opens `path` with O_RDWR|O_NOCTTY|O_NONBLOCK and raw 9600 settings; check ok().
    explicit PortClient(const std::string& path);
    ~PortClient();
    PortClient(const PortClient&) = delete;
    PortClient& operator=(const PortClient&) = delete;

    bool ok() const { return fd_ >= 0; }

    /// Writes the command and one CR.
    void Send(const std::string& command);
    /// Writes raw bytes.
    void SendRaw(const std::string& bytes);

    /// The next CR-terminated line (without CR), or nothing within `timeout`.
    std::optional<std::string> ReadLine(
        std::chrono::milliseconds timeout = std::chrono::seconds(5));

    /// Whatever arrives within `window` (used only where silence is the expectation).
    std::string ReadFor(std::chrono::milliseconds window);

    /// Reads until `count` bytes arrived or `timeout` passed; returns what came.
    std::string ReadBytes(size_t count,
                          std::chrono::milliseconds timeout = std::chrono::seconds(10));

    /// True when the other side hung up (POLLHUP / EIO) within `timeout`.
    bool WaitHangup(std::chrono::milliseconds timeout = std::chrono::seconds(10));

private:
    // Reads what is there into buffer_; false when the peer hung up.
    bool Pump(std::chrono::milliseconds wait);

    int fd_ = -1;
    std::string buffer_;
    bool hungUp_ = false;
};
