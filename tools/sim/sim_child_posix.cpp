#include "tools/sim/sim_child.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
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

std::string FileText(const std::string& path) {
    std::ifstream file(path);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

}  // namespace

SimChild::SimChild(const std::string& portDir, const QStringList& arguments)
    : logPath_(portDir + "/sim.log") {
    const std::string readyPath = portDir + "/sim.ready";
    const std::string outputPath = portDir + "/sim.out";
    const char* override = std::getenv("FUMILINK_SIM");
    std::vector<std::string> args{override != nullptr ? override : FUMILINK_SIM_PATH};
    for (const QString& argument : arguments) {
        args.push_back(argument.toStdString());
    }
    for (const std::string& extra : {std::string("--port-dir"), portDir, std::string("--log"),
                                     logPath_, std::string("--ready-file"), readyPath}) {
        args.push_back(extra);
    }
    // A simulator started earlier in the same folder left its ready line there: it must not
    // count for this one, whose links may not exist yet.
    unlink(readyPath.c_str());
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
        problem_ = "cannot fork for " + args[0];
        return;
    }
    // Blocking here is fine: nothing of the link runs yet.
    const auto deadline = Clock::now() + std::chrono::seconds(20);
    while (Clock::now() < deadline) {
        if (FileHasContent(readyPath)) {
            ready_ = true;
            return;
        }
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            problem_ = args[0] + " ended before it was ready (exit " +
                       std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1) +
                       "): " + FileText(outputPath);
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    problem_ = args[0] + " was not ready within 20 s";
}

SimChild::~SimChild() {
    Stop();
}

void SimChild::Stop() {
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
