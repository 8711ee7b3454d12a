#pragma once
// The line settings of a port, kept in a record with the field layout and flag-word bit
// positions of the Win32 DCB on every platform. Keeping one shape everywhere lets the
// properties of TComm, the conversion tables and the tests work on the same bits on Linux
// and Windows; the POSIX back end translates the record to termios, the Win32 back end
// copies it byte for byte into the system's DCB.

#include <cstdint>

/// DCB-shaped line settings (28 bytes, Win32 field order). `Flags` is the Win32 bit-field
/// word; use the kDcb* masks below to read and write its fields.
struct DCB {
    uint32_t DCBlength;  ///< size of the record, 28 when filled in
    uint32_t BaudRate;   ///< bits per second (the CBR_ constant equals the rate)
    uint32_t Flags;      ///< fBinary .. fDummy2, see kDcb* masks
    uint16_t wReserved;
    uint16_t XonLim;
    uint16_t XoffLim;
    uint8_t ByteSize;  ///< data bits
    uint8_t Parity;    ///< NOPARITY 0 .. SPACEPARITY 4
    uint8_t StopBits;  ///< ONESTOPBIT 0, ONE5STOPBITS 1, TWOSTOPBITS 2
    char XonChar;
    char XoffChar;
    char ErrorChar;
    char EofChar;
    char EvtChar;
    uint16_t wReserved1;
};
static_assert(sizeof(DCB) == 28, "DCB must keep the Win32 layout");

// Bit positions of the Win32 flag word.
inline constexpr uint32_t kDcbBinary = 1u << 0;
inline constexpr uint32_t kDcbParity = 1u << 1;
inline constexpr uint32_t kDcbOutxCtsFlow = 1u << 2;
inline constexpr uint32_t kDcbOutxDsrFlow = 1u << 3;
inline constexpr int kDcbDtrControlShift = 4;  ///< two bits: DTR_CONTROL_*
inline constexpr uint32_t kDcbDtrControlMask = 3u << kDcbDtrControlShift;
inline constexpr uint32_t kDcbDsrSensitivity = 1u << 6;
inline constexpr uint32_t kDcbTXContinueOnXoff = 1u << 7;
inline constexpr uint32_t kDcbOutX = 1u << 8;
inline constexpr uint32_t kDcbInX = 1u << 9;
inline constexpr uint32_t kDcbErrorChar = 1u << 10;
inline constexpr uint32_t kDcbNull = 1u << 11;
inline constexpr int kDcbRtsControlShift = 12;  ///< two bits: RTS_CONTROL_*
inline constexpr uint32_t kDcbRtsControlMask = 3u << kDcbRtsControlShift;
inline constexpr uint32_t kDcbAbortOnError = 1u << 14;
inline constexpr uint32_t kDcbDummy2Mask = 0xFFFF8000u;  ///< the 17 spare bits

// Values of the two-bit fields.
inline constexpr uint32_t kDtrControlDisable = 0;
inline constexpr uint32_t kDtrControlEnable = 1;
inline constexpr uint32_t kDtrControlHandshake = 2;
inline constexpr uint32_t kRtsControlDisable = 0;
inline constexpr uint32_t kRtsControlEnable = 1;
inline constexpr uint32_t kRtsControlHandshake = 2;
inline constexpr uint32_t kRtsControlToggle = 3;

/// fDtrControl of a flag word.
constexpr uint32_t DcbDtrControl(uint32_t flags) {
    return (flags & kDcbDtrControlMask) >> kDcbDtrControlShift;
}
/// fRtsControl of a flag word.
constexpr uint32_t DcbRtsControl(uint32_t flags) {
    return (flags & kDcbRtsControlMask) >> kDcbRtsControlShift;
}

// DCB Parity, StopBits values.
inline constexpr uint8_t kNoParity = 0;
inline constexpr uint8_t kOddParity = 1;
inline constexpr uint8_t kEvenParity = 2;
inline constexpr uint8_t kMarkParity = 3;
inline constexpr uint8_t kSpaceParity = 4;
inline constexpr uint8_t kOneStopBit = 0;
inline constexpr uint8_t kOne5StopBits = 1;
inline constexpr uint8_t kTwoStopBits = 2;
