#pragma once
// Test helpers: fumilink-sim as a child process in a private port folder, and a client
// that talks to one of its ports the way the program does (raw pty, CR-framed lines).

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

/// A fresh folder under $TMPDIR (or /tmp), removed with its contents at the end.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

/// Reads a whole file; empty when it does not exist.
std::string ReadWholeFile(const std::string& path);

/// The simulator running as a child process.
class SimProcess {
public:
    /// Starts fumilink-sim with `args`; stdout and stderr go to files in `folder`.
    SimProcess(const TempFolder& folder, const std::vector<std::string>& args);
    /// Kills the child if it still runs.
    ~SimProcess();

    /// Waits for the READY line; returns it, or nothing if the child exited or it took
    /// longer than `timeout`.
    std::optional<std::string> WaitReady(
        std::chrono::milliseconds timeout = std::chrono::seconds(10));

    /// Sends `signal` and waits for the exit; returns the exit code, or -1 when the child
    /// did not exit normally within the timeout.
    int Stop(int signal, std::chrono::milliseconds timeout = std::chrono::seconds(10));

    /// Waits for the child to exit by itself; exit code, or -1 on timeout / abnormal end.
    int WaitExit(std::chrono::milliseconds timeout = std::chrono::seconds(10));

    std::string Stdout() const { return ReadWholeFile(stdoutPath_); }
    std::string Stderr() const { return ReadWholeFile(stderrPath_); }

private:
    pid_t pid_ = -1;
    std::string stdoutPath_;
    std::string stderrPath_;
};

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
