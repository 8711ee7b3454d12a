#pragma once
// The enumerations of the serial port component and the operating-system constants it
// converts them to. Qt-free: the platform layers and the conversion tables use them too.

#include <cstdint>

/// Baud rates; ordinals fixed, each maps to the DCB rate of the same number.
enum TBaudRate : uint8_t {
    cbr110,
    cbr300,
    cbr600,
    cbr1200,
    cbr2400,
    cbr4800,
    cbr9600,
    cbr14400,
    cbr19200,
    cbr38400,
    cbr56000,
    cbr57600,
    cbr115200,
    cbr128000,
    cbr256000
};

/// Parity; ordinal equals the DCB Parity value.
enum TParity : uint8_t { cpNONE, cpODD, cpEVEN, cpMARK, cpSPACE };

/// Stop bits; ordinal equals the DCB StopBits value (csbONE5 is one and a half).
enum TStopBits : uint8_t { csbONE, csbONE5, csbTWO };

/// Flow control presets written into the DCB flag word.
enum TFlowControl : uint8_t { cfcNone, cfcHardware, cfcXonXoff };

/// Elements of an event mask; element n is bit n of a TEventMask.
enum TCommEvent : uint8_t {
    cevBREAK,
    cevCTS,
    cevDSR,
    cevERR,
    cevRING,
    cevRLSD,
    cevRXCHAR,
    cevRXFLAG,
    cevTXEMPTY
};

/// A set of TCommEvent: bit n = element n.
using TEventMask = uint16_t;

/// The set holding just `event`.
constexpr TEventMask EventBit(TCommEvent event) {
    return static_cast<TEventMask>(1u << event);
}

// EV_ bits of the system's event mask and event word.
inline constexpr uint32_t EV_RXCHAR_BIT = 0x0001;
inline constexpr uint32_t EV_RXFLAG_BIT = 0x0002;
inline constexpr uint32_t EV_TXEMPTY_BIT = 0x0004;
inline constexpr uint32_t EV_CTS_BIT = 0x0008;
inline constexpr uint32_t EV_DSR_BIT = 0x0010;
inline constexpr uint32_t EV_RLSD_BIT = 0x0020;
inline constexpr uint32_t EV_BREAK_BIT = 0x0040;
inline constexpr uint32_t EV_ERR_BIT = 0x0080;
inline constexpr uint32_t EV_RING_BIT = 0x0100;

// Modem status bits (MS_*_ON) as GetCommModemStatus reports them.
inline constexpr uint32_t MS_CTS_ON_BIT = 0x0010;
inline constexpr uint32_t MS_DSR_ON_BIT = 0x0020;
inline constexpr uint32_t MS_RING_ON_BIT = 0x0040;
inline constexpr uint32_t MS_RLSD_ON_BIT = 0x0080;

// Line error bits (CE_*) of the error word.
inline constexpr uint32_t CE_RXOVER_BIT = 0x0001;
inline constexpr uint32_t CE_OVERRUN_BIT = 0x0002;
inline constexpr uint32_t CE_RXPARITY_BIT = 0x0004;
inline constexpr uint32_t CE_FRAME_BIT = 0x0008;
inline constexpr uint32_t CE_BREAK_BIT = 0x0010;
