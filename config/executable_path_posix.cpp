#include <unistd.h>

#include <vector>

#include "config/executable_path.h"

std::string ExecutablePath() {
    // readlink does not say whether the name was cut, so grow until it fits.
    std::vector<char> buffer(256);
    for (;;) {
        ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0) {
            return {};
        }
        if (static_cast<size_t>(length) < buffer.size()) {
            return std::string(buffer.data(), static_cast<size_t>(length));
        }
        buffer.resize(buffer.size() * 2);
    }
}
