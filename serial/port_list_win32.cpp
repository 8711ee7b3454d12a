#include "serial/port_list.h"

#include <windows.h>

#include <functional>
#include <string>

namespace {

/// Calls `visit(value name, port name)` for every REG_SZ value of
/// HKLM\HARDWARE\DEVICEMAP\SERIALCOMM, in registry order, until it returns false.
void ForEachSerialPort(const std::function<bool(const std::string&, const std::string&)>& visit) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) !=
        ERROR_SUCCESS) {
        return;
    }
    // Registry order, as the system returns the values; each value's data is "COM<n>".
    for (DWORD index = 0;; ++index) {
        char valueName[256];
        DWORD valueNameSize = sizeof valueName;
        BYTE data[256];
        DWORD dataSize = sizeof data - 1;
        DWORD type = 0;
        const LONG result =
            RegEnumValueA(key, index, valueName, &valueNameSize, nullptr, &type, data, &dataSize);
        if (result == ERROR_NO_MORE_ITEMS) {
            break;
        }
        if (result != ERROR_SUCCESS || type != REG_SZ) {
            continue;
        }
        data[dataSize] = 0;
        if (!visit(std::string(valueName, valueNameSize),
                   std::string(reinterpret_cast<const char*>(data)))) {
            break;
        }
    }
    RegCloseKey(key);
}

bool StartsWithIgnoringCase(const std::string& text, const char* prefix) {
    const size_t length = std::string(prefix).size();
    return text.size() >= length &&
           CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, text.c_str(), static_cast<int>(length),
                          prefix, static_cast<int>(length)) == CSTR_EQUAL;
}

}  // namespace

std::vector<std::string> ListSerialPorts() {
    std::vector<std::string> names;
    ForEachSerialPort([&names](const std::string&, const std::string& portName) {
        names.push_back(portName);
        return true;
    });
    return names;
}

bool IsBluetoothLink(int port) {
    const std::string wanted = "COM" + std::to_string(port);
    bool bluetooth = false;
    ForEachSerialPort([&](const std::string& valueName, const std::string& portName) {
        if (CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, portName.c_str(), -1, wanted.c_str(),
                           -1) != CSTR_EQUAL) {
            return true;
        }
        // Outgoing Bluetooth serial ports are the devices of the Bluetooth modem driver.
        bluetooth = StartsWithIgnoringCase(valueName, "\\Device\\BthModem");
        return false;
    });
    return bluetooth;
}

// A port that connects inside CreateFile is up once it is open; a stack whose open returns
// earlier keeps what is written in the output queue until the link is up.
bool OutQueueShowsLinkUp(int port) {
    return IsBluetoothLink(port);
}
