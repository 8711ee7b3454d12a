#pragma once
// The line settings a new TComm starts from. default_line_settings.cpp holds the fixed
// record; default_line_settings_posix.cpp and default_line_settings_win32.cpp say what
// the system offers instead.

#include "serial/dcb.h"

/// The line settings a new TComm starts from where the system offers no default
/// configuration of COM1 (every platform but Windows): 9600 baud, 8 data bits, no parity,
/// one stop bit, fBinary set, DTR enabled, RTS disabled, XON 0x11 / XOFF 0x13,
/// XonLim 2048 / XoffLim 512.
DCB DefaultLineSettings();

/// The line settings a new component starts from: the system's default configuration of
/// COM1 on Windows (a zero-filled record if there is none), DefaultLineSettings elsewhere.
DCB SystemDefaultLineSettings();
