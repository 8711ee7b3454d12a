#include "sim/sim_log.h"

#include <cerrno>
#include <cstring>

SimLog::SimLog() : start_(std::chrono::steady_clock::now()), file_(stderr) {}

SimLog::~SimLog() {
    if (ownsFile_) {
        std::fclose(file_);
    }
}

bool SimLog::OpenFile(const std::string& path, std::string& error) {
    std::FILE* file = std::fopen(path.c_str(), "w");
    if (file == nullptr) {
        error = "cannot write log file " + path + ": " + std::strerror(errno);
        return false;
    }
    if (ownsFile_) {
        std::fclose(file_);
    }
    file_ = file;
    ownsFile_ = true;
    return true;
}

SimTime SimLog::Now() const {
    return std::chrono::duration_cast<SimTime>(std::chrono::steady_clock::now() - start_);
}

void SimLog::Write(SimTime at, const std::string& port, const std::string& event) {
    const long long us = at.count();
    std::fprintf(file_, "%lld.%06lld %s %s\n", us / 1000000, us % 1000000, port.c_str(),
                 event.c_str());
    std::fflush(file_);
}
