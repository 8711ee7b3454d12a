// What the Win32 back end hands a serial driver: valid for Windows whatever the properties
// hold, and otherwise the properties unchanged.

#include <gtest/gtest.h>

#include <cstring>

#include "serial/comm_tables.h"
#include "serial/default_line_settings.h"
#include "serial/driver_dcb_mapping.h"

namespace {

DCB Settings(uint8_t byteSize, uint8_t stopBits) {
    DCB dcb = DefaultLineSettings();
    dcb.ByteSize = byteSize;
    dcb.StopBits = stopBits;
    return dcb;
}

}  // namespace

TEST(DriverDcb, DataAndStopBitsBecomeACombinationWindowsTakes) {
    struct Row {
        const char* what;
        uint8_t byteSize, stopBits;
        uint8_t driverByteSize, driverStopBits;
    };
    const Row rows[] = {
        {"the search's 8 data bits with 1.5 stop bits", 8, kOne5StopBits, 8, kOneStopBit},
        {"7 data bits with 1.5 stop bits", 7, kOne5StopBits, 7, kOneStopBit},
        {"6 data bits with 1.5 stop bits", 6, kOne5StopBits, 6, kOneStopBit},
        {"5 data bits with 1.5 stop bits", 5, kOne5StopBits, 5, kOne5StopBits},
        {"5 data bits with 2 stop bits", 5, kTwoStopBits, 5, kOne5StopBits},
        {"8 data bits with 2 stop bits", 8, kTwoStopBits, 8, kTwoStopBits},
        {"8 data bits with 1 stop bit", 8, kOneStopBit, 8, kOneStopBit},
        {"no byte size (no COM1 to copy)", 0, kOneStopBit, 8, kOneStopBit},
        {"no byte size with 1.5 stop bits", 0, kOne5StopBits, 8, kOneStopBit},
        {"3 data bits", 3, kOneStopBit, 5, kOneStopBit},
        {"4 data bits with 1.5 stop bits", 4, kOne5StopBits, 5, kOne5StopBits},
    };
    for (const Row& row : rows) {
        const DCB driver = DriverDcb(Settings(row.byteSize, row.stopBits), 9600);
        EXPECT_EQ(driver.ByteSize, row.driverByteSize) << row.what;
        EXPECT_EQ(driver.StopBits, row.driverStopBits) << row.what;
    }
}

TEST(DriverDcb, TheZeroRecordOfAPcWithoutComOneBecomesValid) {
    const DCB zero{};
    const DCB driver = DriverDcb(zero, 19200);
    EXPECT_EQ(driver.DCBlength, sizeof(DCB));
    EXPECT_EQ(driver.BaudRate, 19200u);  // the port keeps its rate
    EXPECT_EQ(driver.ByteSize, 8);
    EXPECT_NE(driver.Flags & kDcbBinary, 0u);
    EXPECT_EQ(driver.XonChar, 0x11);
    EXPECT_EQ(driver.XoffChar, 0x13);
}

TEST(DriverDcb, EverythingElseIsPassedOnUnchanged) {
    DCB settings = DefaultLineSettings();
    settings.BaudRate = 56000;
    settings.Flags = ApplyFlowControl(settings.Flags, cfcHardware) | kDcbParity;
    settings.Parity = kMarkParity;
    settings.XonLim = 100;
    settings.XoffLim = 200;
    settings.XonChar = 'a';
    settings.XoffChar = 'b';
    settings.ErrorChar = '?';
    settings.EofChar = 0x1A;
    settings.EvtChar = '\r';
    const DCB driver = DriverDcb(settings, 9600);
    EXPECT_EQ(std::memcmp(&driver, &settings, sizeof(DCB)), 0);
}
