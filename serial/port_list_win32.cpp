#include "serial/port_list.h"

#include <windows.h>

std::vector<std::string> ListSerialPorts() {
    std::vector<std::string> names;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) !=
        ERROR_SUCCESS) {
        return names;
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
        names.emplace_back(reinterpret_cast<const char*>(data));
    }
    RegCloseKey(key);
    return names;
}
