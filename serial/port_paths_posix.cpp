// Which device a COM number stands for on POSIX systems; the table is in serial/README.md.

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <string>

#include "serial/comm_port.h"

namespace {

// Each device family owns a fixed range of COM numbers, so a device keeps its number
// whatever else is plugged in: COM = first + device index.
struct DeviceRange {
    const char* prefix;
    int first;  // COM number of index 0
    int last;   // last COM number of the range
};
constexpr DeviceRange kRanges[] = {
    {"/dev/rfcomm", 1, 20},   // Bluetooth serial links first: the analyser is one
    {"/dev/ttyUSB", 21, 50},  // USB serial converters
    {"/dev/ttyACM", 51, 80},  // USB modems (CDC ACM)
    {"/dev/ttyS", 81, 99},    // on-board UARTs, only where one is really present
};

bool IsDirectory(const char* path) {
    struct stat info {};
    return stat(path, &info) == 0 && S_ISDIR(info.st_mode);
}

// ttyS devices exist for every slot the 8250 driver reserves; the sysfs "type" of a slot
// without hardware is 0 (PORT_UNKNOWN).
bool HasRealUart(int index) {
    std::ifstream type("/sys/class/tty/ttyS" + std::to_string(index) + "/type");
    int value = 0;
    return static_cast<bool>(type >> value) && value != 0;
}

// Every port number and every search asks again; the user needs to read it once.
void WarnOnceAboutPortDir(const char* dir) {
    static std::mutex mutex;
    static std::string warnedAbout;
    std::lock_guard lock(mutex);
    if (warnedAbout != dir) {
        warnedAbout = dir;
        std::fprintf(stderr, "fumilink: FUMILINK_PORT_DIR=%s is not a folder: no serial ports\n",
                     dir);
    }
}

}  // namespace

std::string DevicePathOfPort(uint8_t port) {
    if (port < 1 || port > 99) {
        return {};
    }
    const char* dir = std::getenv("FUMILINK_PORT_DIR");
    if (dir != nullptr && *dir != '\0') {
        // A mistyped folder must not send the service commands to whatever the system's
        // devices are: it stands for no ports at all.
        if (!IsDirectory(dir)) {
            WarnOnceAboutPortDir(dir);
            return {};
        }
        return std::string(dir) + "/COM" + std::to_string(port);
    }
    for (const DeviceRange& range : kRanges) {
        if (port >= range.first && port <= range.last) {
            const int index = port - range.first;
            if (range.first == 81 && !HasRealUart(index)) {
                return {};
            }
            return range.prefix + std::to_string(index);
        }
    }
    return {};
}
