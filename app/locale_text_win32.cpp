#include <windows.h>

#include <vector>

#include "app/locale_text.h"

std::string ReadLocaleText() {
    // Full access is asked for on purpose: a user without write access to the key gets
    // the generic message, as the installed program has always behaved.
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Control Panel\\International", 0, KEY_ALL_ACCESS, &key) !=
        ERROR_SUCCESS) {
        return {};
    }
    std::string text;
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExA(key, "Locale", nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
        (type == REG_SZ || type == REG_EXPAND_SZ) && size > 0) {
        std::vector<char> buffer(size + 1, '\0');
        if (RegQueryValueExA(key, "Locale", nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()),
                             &size) == ERROR_SUCCESS) {
            text = buffer.data();  // up to the terminating zero, which may or may not be stored
        }
    }
    RegCloseKey(key);
    return text;
}
