#pragma once
// A program started by a test or benchmark as a child process. Started with fork/exec
// rather than QProcess (whose start-up ThreadSanitizer cannot follow) and tied to this
// process: if a test or benchmark dies, its child goes with it instead of holding the test
// runner's pipes.

#include <sys/types.h>

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

class ChildProcess {
public:
    struct Options {
        /// argv[0] is the program's path.
        std::vector<std::string> argv;
        /// Empty: the current folder.
        std::string workingDir;
        /// Set in the child; a name mapped to nothing is unset.
        std::map<std::string, std::optional<std::string>> environment;
        /// Where standard output and standard error go (created anew); empty: inherited.
        /// The same path for both puts them in one file.
        std::string stdoutPath;
        std::string stderrPath;
    };

    explicit ChildProcess(Options options);
    /// Kills the child if it still runs.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    /// False when fork failed; a program that cannot be run exits with 127 instead.
    bool Started() const { return pid_ > 0 || exitCode_.has_value(); }
    /// True while the child has not been seen to end.
    bool Running();
    pid_t Pid() const { return pid_; }

    /// Waits for the child to end by itself: its exit code (-1 when a signal ended it), or
    /// nothing when it still runs after `timeout`.
    std::optional<int> WaitExit(std::chrono::milliseconds timeout = std::chrono::seconds(10));
    /// Sends `signal` and waits for the end as WaitExit does.
    std::optional<int> Stop(int signal,
                            std::chrono::milliseconds timeout = std::chrono::seconds(10));
    /// Sends SIGKILL and reaps the child.
    void Kill();

    std::string Stdout() const;
    std::string Stderr() const;

private:
    Options options_;
    pid_t pid_ = -1;
    std::optional<int> exitCode_;
};
