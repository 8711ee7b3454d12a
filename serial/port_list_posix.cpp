#include "serial/port_list.h"

#include <limits.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <optional>
#include <string_view>

#include "serial/port_paths.h"

namespace {

// The kernel's Bluetooth RFCOMM ttys (/dev/rfcommN).
constexpr unsigned int kRfcommMajor = 216;

bool IsRfcommName(std::string_view name) {
    constexpr std::string_view prefix = "rfcomm";
    return name.size() > prefix.size() && name.substr(0, prefix.size()) == prefix &&
           std::all_of(name.begin() + prefix.size(), name.end(),
                       [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; });
}

/// The character device COM `port` stands for, if any.
std::optional<dev_t> DeviceOfPort(int port) {
    if (port < 1 || port > 99) {
        return std::nullopt;
    }
    const std::string path = DevicePathOfPort(static_cast<uint8_t>(port));
    struct stat info {};
    if (path.empty() || stat(path.c_str(), &info) != 0 || !S_ISCHR(info.st_mode)) {
        return std::nullopt;
    }
    return info.st_rdev;
}

}  // namespace

std::vector<std::string> ListSerialPorts() {
    std::vector<std::string> names;
    for (int port = 1; port <= 99; ++port) {
        const std::string path = DevicePathOfPort(static_cast<uint8_t>(port));
        struct stat info {};
        // stat follows links: a COM<n> link whose pty has gone is not listed.
        if (!path.empty() && stat(path.c_str(), &info) == 0 && S_ISCHR(info.st_mode)) {
            names.push_back("COM" + std::to_string(port));
        }
    }
    return names;
}

bool OutQueueShowsLinkUp(int port) {
    const std::optional<dev_t> device = DeviceOfPort(port);
    return device && major(*device) == kRfcommMajor;
}

bool IsBluetoothLink(int port) {
    if (OutQueueShowsLinkUp(port)) {
        return true;
    }
    if (!DeviceOfPort(port)) {
        return false;
    }
    const std::string path = DevicePathOfPort(static_cast<uint8_t>(port));
    // A pseudo-terminal cannot be an rfcomm tty; the name of the link it is reached
    // through says what it stands for.
    char target[PATH_MAX];
    const ssize_t length = readlink(path.c_str(), target, sizeof target - 1);
    if (length <= 0) {
        return false;
    }
    const std::string_view link(target, static_cast<size_t>(length));
    const size_t slash = link.rfind('/');
    return IsRfcommName(slash == std::string_view::npos ? link : link.substr(slash + 1));
}
