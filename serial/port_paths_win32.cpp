#include "serial/port_paths.h"

std::string DevicePathOfPort(uint8_t port) {
    if (port < 1 || port > 99) {
        return {};
    }
    return "\\\\.\\COM" + std::to_string(port);
}
