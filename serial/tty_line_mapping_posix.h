#pragma once
// What a Linux tty says about its line, in the Win32 bits the component speaks: the modem
// lines (TIOCMGET) as MS_*_ON bits, the line counters (TIOCGICOUNT) as CE_ bits, and what
// changed between two looks as EV_ events. Pure: the back end (comm_port_posix.cpp) takes
// the looks.

#include <linux/serial.h>

#include <cstdint>

/// One look at the line. Devices without modem lines or counters (ptys) leave them 0, so
/// they never change.
struct LineSnapshot {
    int modem = 0;                      ///< TIOCM_ bits (TIOCMGET)
    serial_icounter_struct counters{};  ///< TIOCGICOUNT
    int outQueue = 0;                   ///< bytes not yet sent (TIOCOUTQ)
};

/// CE_ bits of the counters that moved from `before` to `now`: buf_overrun CE_RXOVER,
/// overrun CE_OVERRUN, parity CE_RXPARITY, frame CE_FRAME, brk CE_BREAK.
uint32_t ErrorBits(const serial_icounter_struct& before, const serial_icounter_struct& now);

/// MS_*_ON bits of TIOCM_ modem lines: CTS, DSR, RNG (ring), CD (RLSD).
uint32_t ModemBits(int lines);

/// EV_ bits for what changed from `before` to `now`: CTS, DSR and CD changing either way
/// (EV_CTS, EV_DSR, EV_RLSD), the ring line coming on (EV_RING), the break counter
/// (EV_BREAK), any other error counter (EV_ERR), the output queue running empty
/// (EV_TXEMPTY).
uint32_t LineEvents(const LineSnapshot& before, const LineSnapshot& now);
