// What a Linux tty reports about its line, read as the Win32 bits: one row per line,
// counter and change.

#include <sys/ioctl.h>

#include <gtest/gtest.h>

#include "serial/comm_types.h"
#include "serial/tty_line_mapping_posix.h"

namespace {

struct Row {
    const char* what;
    LineSnapshot before;
    LineSnapshot now;
    uint32_t expected;
};

serial_icounter_struct Counters(int overrun, int bufOverrun, int parity, int frame, int brk) {
    serial_icounter_struct counters{};
    counters.overrun = overrun;
    counters.buf_overrun = bufOverrun;
    counters.parity = parity;
    counters.frame = frame;
    counters.brk = brk;
    return counters;
}

}  // namespace

TEST(TtyLineMapping, EachCounterThatMovedIsItsErrorBit) {
    const serial_icounter_struct base = Counters(3, 3, 3, 3, 3);
    const struct {
        const char* what;
        serial_icounter_struct now;
        uint32_t expected;
    } rows[] = {
        {"nothing moved", base, 0},
        {"overrun", Counters(4, 3, 3, 3, 3), CE_OVERRUN_BIT},
        {"receive buffer overrun", Counters(3, 4, 3, 3, 3), CE_RXOVER_BIT},
        {"parity", Counters(3, 3, 9, 3, 3), CE_RXPARITY_BIT},
        {"framing", Counters(3, 3, 3, 4, 3), CE_FRAME_BIT},
        {"break", Counters(3, 3, 3, 3, 4), CE_BREAK_BIT},
        {"all at once", Counters(4, 4, 4, 4, 4),
         CE_OVERRUN_BIT | CE_RXOVER_BIT | CE_RXPARITY_BIT | CE_FRAME_BIT | CE_BREAK_BIT},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(ErrorBits(base, row.now), row.expected) << row.what;
    }
}

TEST(TtyLineMapping, ModemLinesAreTheirStatusBits) {
    const struct {
        const char* what;
        int lines;
        uint32_t expected;
    } rows[] = {
        {"none", 0, 0},
        {"CTS", TIOCM_CTS, MS_CTS_ON_BIT},
        {"DSR", TIOCM_DSR, MS_DSR_ON_BIT},
        {"ring", TIOCM_RNG, MS_RING_ON_BIT},
        {"carrier", TIOCM_CD, MS_RLSD_ON_BIT},
        {"our own lines are no status", TIOCM_DTR | TIOCM_RTS, 0},
        {"all", TIOCM_CTS | TIOCM_DSR | TIOCM_RNG | TIOCM_CD,
         MS_CTS_ON_BIT | MS_DSR_ON_BIT | MS_RING_ON_BIT | MS_RLSD_ON_BIT},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(ModemBits(row.lines), row.expected) << row.what;
    }
}

TEST(TtyLineMapping, ChangesBetweenTwoLooksAreTheirEvents) {
    const serial_icounter_struct base = Counters(1, 1, 1, 1, 1);
    const Row rows[] = {
        {"nothing changed", {.modem = TIOCM_CTS | TIOCM_CD}, {.modem = TIOCM_CTS | TIOCM_CD}, 0},
        {"CTS on", {.modem = 0}, {.modem = TIOCM_CTS}, EV_CTS_BIT},
        {"CTS off", {.modem = TIOCM_CTS}, {.modem = 0}, EV_CTS_BIT},
        {"DSR on", {.modem = 0}, {.modem = TIOCM_DSR}, EV_DSR_BIT},
        {"DSR off", {.modem = TIOCM_DSR}, {.modem = 0}, EV_DSR_BIT},
        {"carrier on", {.modem = 0}, {.modem = TIOCM_CD}, EV_RLSD_BIT},
        {"carrier off", {.modem = TIOCM_CD}, {.modem = 0}, EV_RLSD_BIT},
        {"ring comes", {.modem = 0}, {.modem = TIOCM_RNG}, EV_RING_BIT},
        {"ring goes: no event", {.modem = TIOCM_RNG}, {.modem = 0}, 0},
        {"our DTR changing: no event", {.modem = 0}, {.modem = TIOCM_DTR}, 0},
        {"break", {.counters = base}, {.counters = Counters(1, 1, 1, 1, 2)}, EV_BREAK_BIT},
        {"framing error", {.counters = base}, {.counters = Counters(1, 1, 1, 2, 1)}, EV_ERR_BIT},
        {"parity error", {.counters = base}, {.counters = Counters(1, 1, 2, 1, 1)}, EV_ERR_BIT},
        {"overrun", {.counters = base}, {.counters = Counters(2, 1, 1, 1, 1)}, EV_ERR_BIT},
        {"buffer overrun", {.counters = base}, {.counters = Counters(1, 2, 1, 1, 1)}, EV_ERR_BIT},
        {"output queue runs empty", {.outQueue = 5}, {.outQueue = 0}, EV_TXEMPTY_BIT},
        {"output queue still empty", {.outQueue = 0}, {.outQueue = 0}, 0},
        {"output queue still sending", {.outQueue = 5}, {.outQueue = 2}, 0},
        {"CTS and carrier together",
         {.modem = TIOCM_CTS},
         {.modem = TIOCM_CD},
         EV_CTS_BIT | EV_RLSD_BIT},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(LineEvents(row.before, row.now), row.expected) << row.what;
    }
}
