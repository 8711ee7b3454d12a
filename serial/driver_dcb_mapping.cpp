#include "serial/driver_dcb_mapping.h"

DCB DriverDcb(const DCB& settings, uint32_t currentBaud) {
    DCB driver = settings;
    driver.DCBlength = sizeof(DCB);
    if (driver.ByteSize == 0) {
        driver.ByteSize = 8;
    } else if (driver.ByteSize < 5) {
        driver.ByteSize = 5;
    }
    if (driver.StopBits == kOne5StopBits && driver.ByteSize > 5) {
        driver.StopBits = kOneStopBit;
    } else if (driver.StopBits == kTwoStopBits && driver.ByteSize == 5) {
        driver.StopBits = kOne5StopBits;
    }
    driver.Flags |= kDcbBinary;
    if (driver.XonChar == driver.XoffChar) {
        driver.XonChar = 0x11;
        driver.XoffChar = 0x13;
    }
    if (driver.BaudRate == 0) {
        driver.BaudRate = currentBaud;
    }
    return driver;
}
