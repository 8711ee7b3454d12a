#include "serial/windows_dcb_win32.h"

#include <cstring>

#include "serial/default_line_settings.h"

DCB SystemDefaultLineSettings() {
    // Copied whether or not the call succeeds: without a COM1 the record stays zero,
    // DCBlength included.
    COMMCONFIG config;
    std::memset(&config, 0, sizeof config);
    config.dwSize = sizeof config;
    DWORD size = config.dwSize;
    GetDefaultCommConfigA("COM1", &config, &size);
    DCB settings;
    std::memcpy(&settings, &config.dcb, sizeof settings);
    return settings;
}
