#include "sim_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

bool FileHasContent(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && info.st_size > 0;
}

}  // namespace

SimProcess::SimProcess(const std::string& portDir, const QStringList& arguments)
    : logPath_(portDir + "/sim.log") {
    const std::string readyPath = portDir + "/sim.ready";
    const std::string outputPath = portDir + "/sim.out";
    std::vector<std::string> args{FUMILINK_SIM_PATH};
    for (const QString& argument : arguments) {
        args.push_back(argument.toStdString());
    }
    for (const std::string& extra : {std::string("--port-dir"), portDir, std::string("--log"),
                                     logPath_, std::string("--ready-file"), readyPath}) {
        args.push_back(extra);
    }
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);

    const pid_t parent = getpid();
    pid_ = fork();
    if (pid_ == 0) {
        // Only async-signal-safe calls between fork and exec.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent) {
            _exit(1);
        }
        const int out = open(outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (out >= 0) {
            dup2(out, STDOUT_FILENO);
            dup2(out, STDERR_FILENO);
            close(out);
        }
        execv(argv[0], argv.data());
        _exit(127);
    }
    if (pid_ < 0) {
        return;
    }
    const auto deadline = Clock::now() + std::chrono::seconds(20);
    while (Clock::now() < deadline) {
        if (FileHasContent(readyPath)) {
            ready_ = true;
            return;
        }
        if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
            pid_ = -1;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

SimProcess::~SimProcess() {
    Stop();
}

void SimProcess::Stop() {
    if (pid_ <= 0) {
        return;
    }
    kill(pid_, SIGTERM);
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (waitpid(pid_, nullptr, WNOHANG) != pid_) {
        if (Clock::now() > deadline) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    pid_ = -1;
}

std::string SimProcess::Log() const {
    std::ifstream file(logPath_);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

int SimProcess::Received(int port, const std::string& command) const {
    const std::string needle = "COM" + std::to_string(port) + " RX \"" + command + "\"";
    const std::string log = Log();
    int count = 0;
    for (size_t at = log.find(needle); at != std::string::npos; at = log.find(needle, at + 1)) {
        ++count;
    }
    return count;
}

int SimProcess::ReceivedAny(int port) const {
    const std::string needle = "COM" + std::to_string(port) + " RX ";
    const std::string log = Log();
    int count = 0;
    for (size_t at = log.find(needle); at != std::string::npos; at = log.find(needle, at + 1)) {
        ++count;
    }
    return count;
}
