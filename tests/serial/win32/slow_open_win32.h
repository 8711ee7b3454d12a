#pragma once
// A Bluetooth port's open under Wine: Windows makes the radio connection inside CreateFile,
// for seconds or, with a device that is off, for a long time; Wine's CreateFile of a pty
// returns at once. SlowOpens puts a CommApi table in place whose CreateFile opens the
// device at once and returns only that much later, as the connection's start would.

// windows.h as the back end has it (windows_dcb_win32.h), so this header comes first.
#include "serial/comm_api_win32.h"

#include <optional>
#include <string>

/// From now on every open of `port` ("COM5", any case) returns `delayMs` after the device
/// was opened, or never without a delay. Only while no port is open.
void SlowOpens(const std::string& port, std::optional<DWORD> delayMs);
/// The system's CreateFile again.
void NoSlowOpens();
