#include "serial/termios_mapping_posix.h"

namespace {

struct BaudConstant {
    uint32_t baud;
    speed_t constant;
};
constexpr BaudConstant kBaudConstants[] = {
    {110, B110},       {300, B300},       {600, B600},       {1200, B1200},     {2400, B2400},
    {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},   {57600, B57600},
    {115200, B115200}, {230400, B230400}, {460800, B460800}, {921600, B921600},
};

tcflag_t SizeFlag(uint8_t byteSize) {
    switch (byteSize) {
        case 5:
            return CS5;
        case 6:
            return CS6;
        case 7:
            return CS7;
        case 8:
            return CS8;
        default:
            // termios has nothing below five data bits; more than eight cannot be set.
            return byteSize < 5 ? CS5 : CS8;
    }
}

tcflag_t ParityFlags(uint8_t parity) {
    switch (parity) {
        case kOddParity:
            return PARENB | PARODD;
        case kEvenParity:
            return PARENB;
        case kMarkParity:
            return PARENB | CMSPAR | PARODD;
        case kSpaceParity:
            return PARENB | CMSPAR;
        default:
            return 0;
    }
}

}  // namespace

bool WantsHardwareFlow(const DCB& dcb) {
    return (dcb.Flags & kDcbOutxCtsFlow) != 0 || DcbRtsControl(dcb.Flags) == kRtsControlHandshake;
}

uint32_t DcbToTermios(const DCB& dcb, termios& tio) {
    // Bytes go through untouched whatever the DCB says (Windows insists on fBinary too).
    cfmakeraw(&tio);
    // cfmakeraw leaves input flow control and parity checking as they were.
    tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;

    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    tio.c_cflag |= SizeFlag(dcb.ByteSize) | ParityFlags(dcb.Parity);
    if ((dcb.Flags & kDcbParity) != 0) {
        tio.c_iflag |= INPCK;
    }

    // A UART given two stop bits with five data bits sends one and a half; with six to
    // eight data bits termios has no 1.5 and one stop bit is the closer choice (a
    // receiver checks only the first stop bit).
    if (dcb.StopBits == kTwoStopBits || (dcb.StopBits == kOne5StopBits && dcb.ByteSize <= 5)) {
        tio.c_cflag |= CSTOPB;
    }

    if (WantsHardwareFlow(dcb)) {
        tio.c_cflag |= CRTSCTS;
    }
    if ((dcb.Flags & kDcbOutX) != 0) {
        tio.c_iflag |= IXON;
    }
    if ((dcb.Flags & kDcbInX) != 0) {
        tio.c_iflag |= IXOFF;
    }
    tio.c_cc[VSTART] = static_cast<cc_t>(dcb.XonChar);
    tio.c_cc[VSTOP] = static_cast<cc_t>(dcb.XoffChar);

    if (dcb.BaudRate == 0) {
        return 0;
    }
    for (const BaudConstant& entry : kBaudConstants) {
        if (entry.baud == dcb.BaudRate) {
            cfsetispeed(&tio, entry.constant);
            cfsetospeed(&tio, entry.constant);
            return 0;
        }
    }
    return dcb.BaudRate;
}
