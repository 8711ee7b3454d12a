#pragma once
// How the DCB-shaped line settings become termios settings. Pure, so the mapping can be
// checked without a device (ptys, for one, force CS8 and drop PARENB whatever they get).

#include <termios.h>

#include <cstdint>

#include "serial/dcb.h"

/// Writes the line settings of `dcb` into `tio`: always raw mode with CLOCAL | CREAD and
/// non-blocking reads (VMIN = VTIME = 0); data bits, parity, stop bits, flow control,
/// XON/XOFF characters and the speed as close as termios allows (serial/README.md lists
/// what it cannot express). Returns the rate still to be set through SetCustomBaudRate
/// when termios has no B-constant for it, else 0 (also for rate 0, which keeps the speed
/// `tio` had, since B0 would mean "hang up").
uint32_t DcbToTermios(const DCB& dcb, termios& tio);

/// True when the flow-control fields ask for RTS/CTS handshaking (CRTSCTS).
bool WantsHardwareFlow(const DCB& dcb);
