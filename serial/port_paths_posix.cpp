// Which device a COM number stands for on POSIX systems; the table is in serial/README.md.

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <string>

#include "serial/port_paths.h"
#include "serial/port_paths_posix.h"

namespace {

// Each device family owns a fixed range of COM numbers, so a device keeps its number
// whatever else is plugged in: COM = first + (device index - firstIndex).
// COM1 must never be a Bluetooth link: the port search reads port number 1 as "no pairing
// found". As on a PC, COM1..COM4 are the first four on-board UARTs; the other UARTs keep
// the numbers they had before that (ttyS4 is COM85), which leaves COM81..COM84 unused.
struct DeviceRange {
    const char* prefix;
    int first;       // COM number of the range's first device
    int last;        // last COM number of the range
    int firstIndex;  // device index of the range's first COM number
    bool uart;       // ttyS: only where a UART is really present
};
constexpr DeviceRange kRanges[] = {
    {"/dev/ttyS", 1, 4, 0, true},       // on-board UARTs, as COM1..COM4 on a PC
    {"/dev/rfcomm", 5, 20, 0, false},   // Bluetooth serial links (rfcomm bind)
    {"/dev/ttyUSB", 21, 50, 0, false},  // USB serial converters
    {"/dev/ttyACM", 51, 80, 0, false},  // USB modems (CDC ACM)
    {"/dev/ttyS", 85, 99, 4, true},     // further UARTs (expansion cards)
};

bool IsDirectory(const char* path) {
    struct stat info {};
    return stat(path, &info) == 0 && S_ISDIR(info.st_mode);
}

// ttyS devices exist for every slot the 8250 driver reserves; the sysfs "type" of a slot
// without hardware is 0 (PORT_UNKNOWN).
bool HasRealUart(const std::string& sysfsRoot, int index) {
    std::ifstream type(sysfsRoot + "/class/tty/ttyS" + std::to_string(index) + "/type");
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
    return FamilyDevicePath(port, "/sys");
}

std::string FamilyDevicePath(uint8_t port, const std::string& sysfsRoot) {
    for (const DeviceRange& range : kRanges) {
        if (port >= range.first && port <= range.last) {
            const int index = port - range.first + range.firstIndex;
            if (range.uart && !HasRealUart(sysfsRoot, index)) {
                return {};
            }
            return range.prefix + std::to_string(index);
        }
    }
    return {};
}
