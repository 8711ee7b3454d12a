#include "serial/default_line_settings.h"

DCB DefaultLineSettings() {
    DCB dcb{};
    dcb.DCBlength = sizeof(DCB);
    dcb.BaudRate = 9600;
    dcb.Flags = kDcbBinary | (kDtrControlEnable << kDcbDtrControlShift);
    dcb.XonLim = 2048;
    dcb.XoffLim = 512;
    dcb.ByteSize = 8;
    dcb.Parity = kNoParity;
    dcb.StopBits = kOneStopBit;
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;
    return dcb;
}
