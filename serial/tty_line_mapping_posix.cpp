#include "serial/tty_line_mapping_posix.h"

#include <sys/ioctl.h>

#include "serial/comm_types.h"

namespace {

struct CounterBit {
    int serial_icounter_struct::*counter;
    uint32_t bit;
};
constexpr CounterBit kErrorCounters[] = {
    {&serial_icounter_struct::buf_overrun, CE_RXOVER_BIT},
    {&serial_icounter_struct::overrun, CE_OVERRUN_BIT},
    {&serial_icounter_struct::parity, CE_RXPARITY_BIT},
    {&serial_icounter_struct::frame, CE_FRAME_BIT},
    {&serial_icounter_struct::brk, CE_BREAK_BIT},
};

struct LineBit {
    int line;  // TIOCM_
    uint32_t bit;
};
constexpr LineBit kModemStatus[] = {
    {TIOCM_CTS, MS_CTS_ON_BIT},
    {TIOCM_DSR, MS_DSR_ON_BIT},
    {TIOCM_RNG, MS_RING_ON_BIT},
    {TIOCM_CD, MS_RLSD_ON_BIT},
};
// Lines whose change either way is an event; the ring line counts only as it comes on.
constexpr LineBit kLineChanges[] = {
    {TIOCM_CTS, EV_CTS_BIT},
    {TIOCM_DSR, EV_DSR_BIT},
    {TIOCM_CD, EV_RLSD_BIT},
};

}  // namespace

uint32_t ErrorBits(const serial_icounter_struct& before, const serial_icounter_struct& now) {
    uint32_t errors = 0;
    for (const CounterBit& entry : kErrorCounters) {
        if (now.*entry.counter != before.*entry.counter) {
            errors |= entry.bit;
        }
    }
    return errors;
}

uint32_t ModemBits(int lines) {
    uint32_t status = 0;
    for (const LineBit& entry : kModemStatus) {
        if ((lines & entry.line) != 0) {
            status |= entry.bit;
        }
    }
    return status;
}

uint32_t LineEvents(const LineSnapshot& before, const LineSnapshot& now) {
    uint32_t events = 0;
    const int changed = now.modem ^ before.modem;
    for (const LineBit& entry : kLineChanges) {
        if ((changed & entry.line) != 0) {
            events |= entry.bit;
        }
    }
    if ((changed & now.modem & TIOCM_RNG) != 0) {
        events |= EV_RING_BIT;
    }
    if (now.counters.brk != before.counters.brk) {
        events |= EV_BREAK_BIT;
    }
    if ((ErrorBits(before.counters, now.counters) & ~CE_BREAK_BIT) != 0) {
        events |= EV_ERR_BIT;
    }
    if (before.outQueue > 0 && now.outQueue == 0) {
        events |= EV_TXEMPTY_BIT;
    }
    return events;
}
