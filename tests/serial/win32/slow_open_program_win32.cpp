// fumilink.exe for the Bluetooth tests under Wine (tests/wine/bluetooth_e2e.sh): the program
// itself, but SLOW_OPEN=COM<n>[:MS] in its environment makes every open of COM<n> return MS
// ms after the device was opened, or never without MS, as a Bluetooth port's CreateFile
// does on Windows while it makes the radio connection.

#include "tests/serial/win32/slow_open_win32.h"

#include <QCoreApplication>

#include <cstdlib>
#include <string>

namespace {

void HoldOpensBack() {
    char setting[64];
    const DWORD length = GetEnvironmentVariableA("SLOW_OPEN", setting, sizeof setting);
    if (length == 0 || length >= sizeof setting) {
        return;
    }
    const std::string text(setting, length);
    const size_t colon = text.find(':');
    if (colon == std::string::npos) {
        SlowOpens(text, std::nullopt);
    } else {
        SlowOpens(text.substr(0, colon),
                  static_cast<DWORD>(std::strtoul(text.c_str() + colon + 1, nullptr, 10)));
    }
}

}  // namespace

// Once the application exists: all static tables are set up by then, and no port is open.
Q_COREAPP_STARTUP_FUNCTION(HoldOpensBack)
