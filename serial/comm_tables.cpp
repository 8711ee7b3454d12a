#include "serial/comm_tables.h"

#include <array>
#include <cstddef>

#include "serial/dcb.h"

namespace {

constexpr std::array<uint32_t, 15> kBaudRates = {110,   300,   600,    1200,   2400,
                                                 4800,  9600,  14400,  19200,  38400,
                                                 56000, 57600, 115200, 128000, 256000};

struct EventPair {
    TCommEvent event;
    uint32_t ev;
};
constexpr std::array<EventPair, 9> kEvents = {{
    {cevBREAK, EV_BREAK_BIT},
    {cevCTS, EV_CTS_BIT},
    {cevDSR, EV_DSR_BIT},
    {cevERR, EV_ERR_BIT},
    {cevRING, EV_RING_BIT},
    {cevRLSD, EV_RLSD_BIT},
    {cevRXCHAR, EV_RXCHAR_BIT},
    {cevRXFLAG, EV_RXFLAG_BIT},
    {cevTXEMPTY, EV_TXEMPTY_BIT},
}};

// Fields a flow-control write leaves alone: fBinary, fParity, fTXContinueOnXoff,
// fErrorChar, fNull, fAbortOnError.
constexpr uint32_t kFlowKeepMask = 0x4C83;
constexpr std::array<uint32_t, 3> kFlowBits = {0x0011, 0x2015, 0x0311};

}  // namespace

bool IsValidBaudRate(TBaudRate rate) {
    return static_cast<std::size_t>(rate) < kBaudRates.size();
}

uint32_t BaudRateToDcb(TBaudRate rate) {
    return IsValidBaudRate(rate) ? kBaudRates[rate] : 0;
}

TBaudRate BaudRateFromDcb(uint32_t baud) {
    for (std::size_t i = 0; i < kBaudRates.size(); ++i) {
        if (kBaudRates[i] == baud) {
            return static_cast<TBaudRate>(i);
        }
    }
    return cbr256000;
}

bool IsValidParity(TParity parity) {
    return parity <= cpSPACE;
}

bool IsValidStopBits(TStopBits stopBits) {
    return stopBits <= csbTWO;
}

bool IsValidFlowControl(TFlowControl flow) {
    return static_cast<std::size_t>(flow) < kFlowBits.size();
}

uint8_t ParityToDcb(TParity parity) {
    return static_cast<uint8_t>(parity);
}

TParity ParityFromDcb(uint8_t parity) {
    return parity >= 1 && parity <= 4 ? static_cast<TParity>(parity) : cpNONE;
}

uint8_t StopBitsToDcb(TStopBits stopBits) {
    return static_cast<uint8_t>(stopBits);
}

TStopBits StopBitsFromDcb(uint8_t stopBits) {
    switch (stopBits) {
        case kOneStopBit:
            return csbONE;
        case kOne5StopBits:
            return csbONE5;
        default:
            return csbTWO;
    }
}

uint32_t ApplyFlowControl(uint32_t flags, TFlowControl flow) {
    const uint32_t kept = flags & kFlowKeepMask;
    return static_cast<std::size_t>(flow) < kFlowBits.size() ? kept | kFlowBits[flow] : kept;
}

TFlowControl FlowControlFromFlags(uint32_t flags) {
    // Only the upper bit of fRtsControl counts: RTS_CONTROL_HANDSHAKE (2) and
    // RTS_CONTROL_TOGGLE (3) both read as hardware flow control.
    if ((flags & (1u << 13)) != 0) {
        return cfcHardware;
    }
    if ((flags & kDcbOutX) != 0 && (flags & kDcbInX) != 0) {
        return cfcXonXoff;
    }
    return cfcNone;
}

uint32_t EventMaskToEv(TEventMask mask) {
    uint32_t ev = 0;
    for (const EventPair& pair : kEvents) {
        if ((mask & EventBit(pair.event)) != 0) {
            ev |= pair.ev;
        }
    }
    return ev;
}

TEventMask EventMaskFromEv(uint32_t ev) {
    TEventMask mask = 0;
    for (const EventPair& pair : kEvents) {
        if ((ev & pair.ev) != 0) {
            mask = static_cast<TEventMask>(mask | EventBit(pair.event));
        }
    }
    return mask;
}

uint32_t WriteDeadlineMs(int32_t count, uint32_t baud) {
    const uint64_t rate = baud == 0 ? 110 : baud;
    const uint64_t bytes = count > 0 ? static_cast<uint64_t>(count) : 0;
    const uint64_t lineMs = bytes * 11 * 1000 / rate;
    const uint64_t total = 2000 + 2 * lineMs;
    return total > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(total);
}
