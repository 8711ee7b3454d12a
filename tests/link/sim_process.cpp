#include "sim_process.h"

#include <fstream>
#include <sstream>

std::string SimProcess::Log() const {
    std::ifstream file(child_.LogPath());
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
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
