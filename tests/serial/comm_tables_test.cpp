// The conversion tables between the component's enumerations and the DCB / EV_ values.

#include <gtest/gtest.h>

#include <cstddef>

#include "serial/comm_tables.h"
#include "serial/dcb.h"
#include "serial/default_line_settings.h"

TEST(BaudRateTable, EveryOrdinalMapsToItsRateAndBack) {
    const uint32_t rates[] = {110,   300,   600,   1200,  2400,   4800,   9600,  14400,
                              19200, 38400, 56000, 57600, 115200, 128000, 256000};
    for (int ordinal = 0; ordinal <= 14; ++ordinal) {
        const auto rate = static_cast<TBaudRate>(ordinal);
        SCOPED_TRACE(ordinal);
        EXPECT_EQ(BaudRateToDcb(rate), rates[ordinal]);
        EXPECT_EQ(BaudRateFromDcb(rates[ordinal]), rate);
        EXPECT_TRUE(IsValidBaudRate(rate));
    }
    EXPECT_FALSE(IsValidBaudRate(static_cast<TBaudRate>(15)));
    EXPECT_EQ(BaudRateToDcb(static_cast<TBaudRate>(15)), 0u);
}

TEST(BaudRateTable, RatesOutsideTheTableReadAsTheLastEntry) {
    for (uint32_t rate : {0u, 1u, 230400u, 9601u, 0xFFFFFFFFu}) {
        EXPECT_EQ(BaudRateFromDcb(rate), cbr256000) << rate;
    }
}

TEST(ParityAndStopBitTables, MapByOrdinalAndReadOddValuesAsDocumented) {
    EXPECT_EQ(ParityToDcb(cpNONE), kNoParity);
    EXPECT_EQ(ParityToDcb(cpSPACE), kSpaceParity);
    EXPECT_EQ(ParityFromDcb(kOddParity), cpODD);
    EXPECT_EQ(ParityFromDcb(kEvenParity), cpEVEN);
    EXPECT_EQ(ParityFromDcb(kMarkParity), cpMARK);
    EXPECT_EQ(ParityFromDcb(kSpaceParity), cpSPACE);
    EXPECT_EQ(ParityFromDcb(5), cpNONE);
    EXPECT_EQ(ParityFromDcb(255), cpNONE);

    EXPECT_EQ(StopBitsToDcb(csbONE5), kOne5StopBits);
    EXPECT_EQ(StopBitsFromDcb(0), csbONE);
    EXPECT_EQ(StopBitsFromDcb(1), csbONE5);
    EXPECT_EQ(StopBitsFromDcb(2), csbTWO);
    EXPECT_EQ(StopBitsFromDcb(7), csbTWO);
}

TEST(FlowControlTable, WritesTheDocumentedFlagWords) {
    // From an all-ones word only the kept fields (mask 0x4C83) survive.
    EXPECT_EQ(ApplyFlowControl(0xFFFFFFFFu, cfcNone), 0x4C83u | 0x0011u);
    EXPECT_EQ(ApplyFlowControl(0xFFFFFFFFu, cfcHardware), 0x4C83u | 0x2015u);
    EXPECT_EQ(ApplyFlowControl(0xFFFFFFFFu, cfcXonXoff), 0x4C83u | 0x0311u);
    EXPECT_EQ(ApplyFlowControl(0, cfcNone), 0x0011u);

    const uint32_t hardware = ApplyFlowControl(0, cfcHardware);
    EXPECT_NE(hardware & kDcbOutxCtsFlow, 0u);
    EXPECT_EQ(DcbRtsControl(hardware), kRtsControlHandshake);
    EXPECT_EQ(DcbDtrControl(hardware), kDtrControlEnable);
    EXPECT_EQ(hardware & (kDcbOutX | kDcbInX), 0u);

    // Switching back to none drops RTS handshaking again.
    EXPECT_EQ(DcbRtsControl(ApplyFlowControl(hardware, cfcNone)), kRtsControlDisable);
}

TEST(FlowControlTable, ReadsRtsUpperBitFirstThenXonXoffPair) {
    for (TFlowControl flow : {cfcNone, cfcHardware, cfcXonXoff}) {
        EXPECT_EQ(FlowControlFromFlags(ApplyFlowControl(0, flow)), flow);
    }
    const uint32_t toggle = kRtsControlToggle << kDcbRtsControlShift;
    EXPECT_EQ(FlowControlFromFlags(toggle), cfcHardware);
    EXPECT_EQ(FlowControlFromFlags(toggle | kDcbOutX | kDcbInX), cfcHardware);
    // RTS_CONTROL_ENABLE is the lower bit only: not hardware flow control.
    EXPECT_EQ(FlowControlFromFlags(kRtsControlEnable << kDcbRtsControlShift), cfcNone);
    EXPECT_EQ(FlowControlFromFlags(kDcbOutX), cfcNone);
    EXPECT_EQ(FlowControlFromFlags(kDcbInX), cfcNone);
}

TEST(EventMaskTable, SingleElementsMapToTheirEvBits) {
    const struct {
        TCommEvent event;
        uint32_t ev;
    } rows[] = {{cevBREAK, 0x0040},  {cevCTS, 0x0008},    {cevDSR, 0x0010},
                {cevERR, 0x0080},    {cevRING, 0x0100},   {cevRLSD, 0x0020},
                {cevRXCHAR, 0x0001}, {cevRXFLAG, 0x0002}, {cevTXEMPTY, 0x0004}};
    for (const auto& row : rows) {
        SCOPED_TRACE(static_cast<int>(row.event));
        EXPECT_EQ(EventMaskToEv(EventBit(row.event)), row.ev);
        EXPECT_EQ(EventMaskFromEv(row.ev), EventBit(row.event));
    }
}

TEST(EventMaskTable, EverySetRoundTrips) {
    for (uint32_t set = 0; set < 0x200; ++set) {
        const auto mask = static_cast<TEventMask>(set);
        ASSERT_EQ(EventMaskFromEv(EventMaskToEv(mask)), mask) << set;
    }
    EXPECT_EQ(EventMaskToEv(0xFE00), 0u);    // bits beyond cevTXEMPTY are not events
    EXPECT_EQ(EventMaskFromEv(0xFE00), 0u);  // nor are EV_ bits outside the table
}

TEST(WriteDeadline, GrowsWithLineTimeAndNeverDropsBelowTheSlack) {
    EXPECT_EQ(WriteDeadlineMs(0, 9600), 2000u);
    EXPECT_EQ(WriteDeadlineMs(-5, 9600), 2000u);
    EXPECT_EQ(WriteDeadlineMs(9600, 9600), 2000u + 2u * 11000u);
    EXPECT_EQ(WriteDeadlineMs(10, 0), WriteDeadlineMs(10, 110));
    EXPECT_GT(WriteDeadlineMs(1000, 110), WriteDeadlineMs(1000, 115200));
}

TEST(DefaultLineSettings, AreNineSixHundredEightNoneOneWithDtr) {
    const DCB dcb = DefaultLineSettings();
    EXPECT_EQ(dcb.DCBlength, 28u);
    EXPECT_EQ(dcb.BaudRate, 9600u);
    EXPECT_EQ(dcb.ByteSize, 8);
    EXPECT_EQ(dcb.Parity, kNoParity);
    EXPECT_EQ(dcb.StopBits, kOneStopBit);
    EXPECT_EQ(dcb.Flags, kDcbBinary | (kDtrControlEnable << kDcbDtrControlShift));
}

TEST(DcbRecord, HasTheWin32FieldOffsets) {
    // The Win32 back end copies the record byte for byte into the system's DCB.
    EXPECT_EQ(offsetof(DCB, BaudRate), 4u);
    EXPECT_EQ(offsetof(DCB, Flags), 8u);
    EXPECT_EQ(offsetof(DCB, XonLim), 14u);
    EXPECT_EQ(offsetof(DCB, XoffLim), 16u);
    EXPECT_EQ(offsetof(DCB, ByteSize), 18u);
    EXPECT_EQ(offsetof(DCB, Parity), 19u);
    EXPECT_EQ(offsetof(DCB, StopBits), 20u);
    EXPECT_EQ(offsetof(DCB, XonChar), 21u);
    EXPECT_EQ(offsetof(DCB, EvtChar), 25u);
    EXPECT_EQ(offsetof(DCB, wReserved1), 26u);
}
