#include "tests/support/sim_process.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "tests/support/temp_dir.h"
#include "tests/support/waits.h"

namespace {

bool FileHasContent(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && info.st_size > 0;
}

}  // namespace

SimProcess::SimProcess(const std::string& portDir, const QStringList& arguments)
    : logPath_(portDir + "/sim.log") {
    const std::string readyPath = portDir + "/sim.ready";
    const std::string outputPath = portDir + "/sim.out";
    const char* override = std::getenv("FUMILINK_SIM");
    ChildProcess::Options options;
    options.argv = {override != nullptr ? override : FUMILINK_SIM_PATH};
    for (const QString& argument : arguments) {
        options.argv.push_back(argument.toStdString());
    }
    options.argv.insert(options.argv.end(),
                        {"--port-dir", portDir, "--log", logPath_, "--ready-file", readyPath});
    options.stdoutPath = outputPath;
    options.stderrPath = outputPath;
    const std::string program = options.argv[0];
    // A simulator started earlier in the same folder left its ready line there: it must not
    // count for this one, whose links may not exist yet.
    unlink(readyPath.c_str());
    child_ = std::make_unique<ChildProcess>(std::move(options));
    if (!child_->Started()) {
        problem_ = "cannot fork for " + program;
        return;
    }
    // Blocking here is fine: nothing of the link runs yet.
    SpinUntil([&] { return FileHasContent(readyPath) || !child_->Running(); },
              std::chrono::seconds(20));
    if (FileHasContent(readyPath)) {
        ready_ = true;
    } else if (!child_->Running()) {
        problem_ = program + " ended before it was ready (exit " +
                   std::to_string(child_->WaitExit().value_or(-1)) + "): " + ReadBytes(outputPath);
    } else {
        problem_ = program + " was not ready within 20 s";
    }
}

SimProcess::~SimProcess() {
    Stop();
}

void SimProcess::Stop() {
    if (!child_->Stop(SIGTERM)) {
        child_->Kill();
    }
}

std::string SimProcess::Log() const {
    return ReadBytes(logPath_);
}

int SimProcess::Count(const std::string& needle) const {
    const std::string log = Log();
    int count = 0;
    for (size_t at = log.find(needle); at != std::string::npos; at = log.find(needle, at + 1)) {
        ++count;
    }
    return count;
}

int SimProcess::Received(int port, const std::string& command) const {
    return Count("COM" + std::to_string(port) + " RX \"" + command + "\"");
}

int SimProcess::ReceivedAny(int port) const {
    return Count("COM" + std::to_string(port) + " RX ");
}
