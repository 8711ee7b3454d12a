// The DCB -> termios mapping of the POSIX back end, checked without a device.

#include <gtest/gtest.h>

#include "serial/comm_tables.h"
#include "serial/default_line_settings.h"
#include "serial/termios_mapping_posix.h"

namespace {

termios Map(const DCB& dcb, uint32_t* customBaud = nullptr) {
    termios tio{};
    tio.c_lflag = ICANON | ECHO | ISIG;  // a cooked terminal to start from
    tio.c_oflag = OPOST | ONLCR;
    tio.c_iflag = ICRNL | IXOFF | INPCK;
    cfsetspeed(&tio, B1200);
    const uint32_t custom = DcbToTermios(dcb, tio);
    if (customBaud != nullptr) {
        *customBaud = custom;
    }
    return tio;
}

tcflag_t ParityBits(const termios& tio) {
    return tio.c_cflag & (PARENB | PARODD | CMSPAR);
}

}  // namespace

TEST(TermiosMapping, DefaultsGiveRawEightNoneOneAtNineSixHundred) {
    const termios tio = Map(DefaultLineSettings());
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(tio.c_oflag & OPOST, 0u);
    EXPECT_EQ(tio.c_iflag & (ICRNL | IXON | IXOFF | INPCK), 0u);
    EXPECT_EQ(tio.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
    EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(tio.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(tio.c_cc[VMIN], 0);
    EXPECT_EQ(tio.c_cc[VTIME], 0);
    EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B9600));
    EXPECT_EQ(cfgetispeed(&tio), static_cast<speed_t>(B9600));
}

TEST(TermiosMapping, DataBitsBelowFiveBecomeFive) {
    DCB dcb = DefaultLineSettings();
    const struct {
        uint8_t byteSize;
        tcflag_t flag;
    } rows[] = {{3, CS5}, {4, CS5}, {5, CS5}, {6, CS6}, {7, CS7}, {8, CS8}};
    for (const auto& row : rows) {
        dcb.ByteSize = row.byteSize;
        EXPECT_EQ(Map(dcb).c_cflag & CSIZE, row.flag) << int(row.byteSize);
    }
}

TEST(TermiosMapping, EveryParityHasItsFlags) {
    DCB dcb = DefaultLineSettings();
    const struct {
        uint8_t parity;
        tcflag_t flags;
    } rows[] = {{kNoParity, 0},
                {kOddParity, PARENB | PARODD},
                {kEvenParity, PARENB},
                {kMarkParity, PARENB | PARODD | CMSPAR},
                {kSpaceParity, PARENB | CMSPAR},
                {9, 0}};
    for (const auto& row : rows) {
        dcb.Parity = row.parity;
        EXPECT_EQ(ParityBits(Map(dcb)), row.flags) << int(row.parity);
    }
    dcb.Flags |= kDcbParity;  // fParity: check incoming parity
    EXPECT_NE(Map(dcb).c_iflag & INPCK, 0u);
}

TEST(TermiosMapping, OneAndAHalfStopBitsOnlyWithFiveDataBits) {
    DCB dcb = DefaultLineSettings();
    dcb.StopBits = kTwoStopBits;
    EXPECT_NE(Map(dcb).c_cflag & CSTOPB, 0u);
    dcb.StopBits = kOne5StopBits;
    EXPECT_EQ(Map(dcb).c_cflag & CSTOPB, 0u);
    dcb.ByteSize = 5;
    EXPECT_NE(Map(dcb).c_cflag & CSTOPB, 0u);
    dcb.StopBits = kOneStopBit;
    EXPECT_EQ(Map(dcb).c_cflag & CSTOPB, 0u);
}

TEST(TermiosMapping, FlowControlPresets) {
    DCB dcb = DefaultLineSettings();
    dcb.Flags = ApplyFlowControl(dcb.Flags, cfcHardware);
    termios tio = Map(dcb);
    EXPECT_NE(tio.c_cflag & CRTSCTS, 0u);
    EXPECT_EQ(tio.c_iflag & (IXON | IXOFF), 0u);

    dcb.Flags = ApplyFlowControl(dcb.Flags, cfcXonXoff);
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;
    tio = Map(dcb);
    EXPECT_EQ(tio.c_cflag & CRTSCTS, 0u);
    EXPECT_EQ(tio.c_iflag & (IXON | IXOFF), static_cast<tcflag_t>(IXON | IXOFF));
    EXPECT_EQ(tio.c_cc[VSTART], 0x11);
    EXPECT_EQ(tio.c_cc[VSTOP], 0x13);

    // CTS output flow alone also needs CRTSCTS: termios cannot split the two directions.
    dcb.Flags = kDcbBinary | kDcbOutxCtsFlow;
    EXPECT_NE(Map(dcb).c_cflag & CRTSCTS, 0u);
}

TEST(TermiosMapping, RatesWithoutConstantGoThroughTermiosTwo) {
    DCB dcb = DefaultLineSettings();
    uint32_t custom = 1;
    for (uint32_t rate : {14400u, 56000u, 128000u, 256000u}) {
        dcb.BaudRate = rate;
        const termios tio = Map(dcb, &custom);
        EXPECT_EQ(custom, rate);
        EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B1200)) << "left for termios2";
    }
    dcb.BaudRate = 57600;
    const termios standard = Map(dcb, &custom);
    EXPECT_EQ(cfgetospeed(&standard), static_cast<speed_t>(B57600));
    EXPECT_EQ(custom, 0u);
    // Rate 0 keeps the current speed: B0 would hang the line up.
    dcb.BaudRate = 0;
    const termios kept = Map(dcb, &custom);
    EXPECT_EQ(cfgetospeed(&kept), static_cast<speed_t>(B1200));
    EXPECT_EQ(custom, 0u);
}
