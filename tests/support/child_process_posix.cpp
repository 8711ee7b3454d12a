#include "tests/support/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/support/temp_dir.h"
#include "tests/support/waits.h"

namespace {

int ExitCodeOf(int status) {
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void RedirectTo(const std::string& path, int fd) {
    if (path.empty()) {
        return;
    }
    const int file = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    if (file >= 0) {
        dup2(file, fd);
        close(file);
    }
}

}  // namespace

ChildProcess::ChildProcess(Options options) : options_(std::move(options)) {
    // Truncated here, appended to in the child: one path for both streams keeps both.
    for (const std::string* path : {&options_.stdoutPath, &options_.stderrPath}) {
        if (!path->empty()) {
            WriteBytes(*path, "");
        }
    }
    std::vector<char*> argv;
    for (std::string& argument : options_.argv) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);

    const pid_t parent = getpid();
    pid_ = fork();
    if (pid_ != 0) {
        return;
    }
    // SIGTERM rather than SIGKILL: the simulator removes its links on it.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent) {
        _exit(1);
    }
    RedirectTo(options_.stdoutPath, STDOUT_FILENO);
    RedirectTo(options_.stderrPath, STDERR_FILENO);
    if (!options_.workingDir.empty() && chdir(options_.workingDir.c_str()) != 0) {
        _exit(126);
    }
    for (const auto& [name, value] : options_.environment) {
        if (value) {
            setenv(name.c_str(), value->c_str(), 1);
        } else {
            unsetenv(name.c_str());
        }
    }
    execv(argv[0], argv.data());
    _exit(127);
}

ChildProcess::~ChildProcess() {
    Kill();
}

bool ChildProcess::Running() {
    int status = 0;
    if (pid_ > 0 && waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        exitCode_ = ExitCodeOf(status);
    }
    return pid_ > 0;
}

std::optional<int> ChildProcess::WaitExit(std::chrono::milliseconds timeout) {
    if (!SpinUntil([this] { return !Running(); }, timeout)) {
        return std::nullopt;
    }
    return exitCode_;
}

std::optional<int> ChildProcess::Stop(int signal, std::chrono::milliseconds timeout) {
    if (Running()) {
        kill(pid_, signal);
    }
    return WaitExit(timeout);
}

void ChildProcess::Kill() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        exitCode_ = ExitCodeOf(status);
    }
}

std::string ChildProcess::Stdout() const {
    return ReadBytes(options_.stdoutPath);
}

std::string ChildProcess::Stderr() const {
    return ReadBytes(options_.stderrPath);
}
