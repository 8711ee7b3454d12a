// fumilink-sim: stands in for the flue-gas analyser on pseudo-terminals. See --help;
// --version alone prints the version of the build.

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "sim/sim_options.h"
#include "tools/sim/sim_server.h"

namespace {

int gStopPipe[2] = {-1, -1};

// Only async-signal-safe work here: the event loop sees the byte and stops cleanly,
// which removes the links.
extern "C" void OnStopSignal(int) {
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = write(gStopPipe[1], &byte, 1);
    errno = saved;
}

bool InstallSignalHandlers(std::string& error) {
    if (pipe(gStopPipe) != 0) {
        error = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    for (int fd : gStopPipe) {
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
        fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
        sigaction(sig, &action, nullptr);
    }
    // A reader that vanishes must not kill us before the links are removed.
    signal(SIGPIPE, SIG_IGN);
    return true;
}

bool WriteReadyFile(const std::string& path, const std::string& line) {
    const std::string temp = path + ".tmp";
    std::FILE* file = std::fopen(temp.c_str(), "w");
    if (file == nullptr) {
        return false;
    }
    const bool ok = std::fprintf(file, "%s\n", line.c_str()) > 0;
    if (std::fclose(file) != 0 || !ok) {
        return false;
    }
    return std::rename(temp.c_str(), path.c_str()) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 1 && args[0] == "--version") {
        std::printf("fumilink-sim %s\n", FUMILINK_VERSION);
        return kSimExitOk;
    }
    const char* envDir = std::getenv("FUMILINK_PORT_DIR");
    const SimOptionsResult parsed = ParseSimOptions(args, envDir != nullptr ? envDir : "");
    if (parsed.helpRequested) {
        std::fputs(SimHelpText().c_str(), stdout);
        return kSimExitOk;
    }
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "fumilink-sim: %s\n", parsed.error.c_str());
        return kSimExitUsage;
    }
    if (!parsed.note.empty()) {
        std::fprintf(stderr, "fumilink-sim: %s\n", parsed.note.c_str());
    }
    const SimOptions& options = parsed.options;

    SimLog log;
    std::string error;
    if (!options.logPath.empty() && !log.OpenFile(options.logPath, error)) {
        std::fprintf(stderr, "fumilink-sim: %s\n", error.c_str());
        return kSimExitUsage;
    }
    if (!InstallSignalHandlers(error)) {
        std::fprintf(stderr, "fumilink-sim: %s\n", error.c_str());
        return kSimExitFailure;
    }

    SimServer server(options, log);
    const int started = server.Start(error);
    if (started != kSimExitOk) {
        std::fprintf(stderr, "fumilink-sim: %s\n", error.c_str());
        return started;
    }
    const std::string ready = server.ReadyLine();
    if (!options.readyFile.empty() && !WriteReadyFile(options.readyFile, ready)) {
        std::fprintf(stderr, "fumilink-sim: cannot write ready file %s: %s\n",
                     options.readyFile.c_str(), std::strerror(errno));
        return kSimExitFailure;
    }
    std::printf("%s\n", ready.c_str());
    std::fflush(stdout);

    server.Run(gStopPipe[0]);
    return kSimExitOk;
}
