#pragma once
// The line settings the Win32 back end hands a serial driver. TComm keeps whatever its
// properties were set to (and reports it), but Windows' serial drivers refuse a whole
// record for one field they cannot do, and the port then keeps everything the previous
// program left: its speed, its flow control, a non-binary mode. Pure, so the mapping is
// checked on every platform; serial/README.md lists it beside the termios mapping.

#include <cstdint>

#include "serial/dcb.h"

/// `settings` made acceptable to a Windows serial driver:
/// - 1.5 stop bits with 6..8 data bits become 1, 2 stop bits with 5 data bits become 1.5
///   (the UART's own reading of "two" at that size);
/// - a byte size of 0 (the zero-filled record of a PC without COM1) becomes 8, 3 and 4
///   become 5;
/// - fBinary is set (Windows has no other mode);
/// - equal XON and XOFF characters (again the zero-filled record) become 0x11 and 0x13;
/// - a rate of 0 becomes `currentBaud`, the rate the port has now.
/// Every other field is passed on unchanged.
DCB DriverDcb(const DCB& settings, uint32_t currentBaud);
