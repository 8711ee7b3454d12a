#include "serial/port_list.h"

#include <sys/stat.h>

#include "serial/comm_port.h"

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
