#include <dirent.h>

#include <fstream>

#include "tests/serial/test_line.h"
#include "tests/support/pty_pair.h"

namespace {
constexpr uint8_t kPort = 3;
}  // namespace

struct TestLine::Device {
    PortDir dir;
    PtyPair pty{dir, kPort};
};

TestLine::TestLine() : device_(std::make_unique<Device>()) {}
TestLine::~TestLine() = default;

uint8_t TestLine::Port() const {
    return kPort;
}

uint8_t TestLine::MissingPort() {
    return kPort + 1;
}

void TestLine::DeviceWrite(const std::string& bytes) {
    device_->pty.DeviceWrite(bytes);
}

std::string TestLine::DeviceRead(size_t expected, std::chrono::milliseconds deadline) {
    return device_->pty.DeviceRead(expected, deadline);
}

void TestLine::HangUp() {
    device_->pty.HangUp();
}

int WatcherCount() {
    // Only watcher threads: sanitizers start helper threads of their own.
    int count = 0;
    if (DIR* tasks = opendir("/proc/self/task")) {
        while (dirent* entry = readdir(tasks)) {
            if (entry->d_name[0] == '.') {
                continue;
            }
            std::ifstream comm(std::string("/proc/self/task/") + entry->d_name + "/comm");
            std::string name;
            std::getline(comm, name);
            count += name == "comm-watcher" ? 1 : 0;
        }
        closedir(tasks);
    }
    return count;
}
