// Properties of TComm: defaults, setter rules, and that settings reach an open port
// exactly when the setters say so (observed through the pty's termios).

#include <termios.h>

#include <gtest/gtest.h>

#include "serial/comm_tables.h"
#include "serial/custom_baud_linux.h"
#include "serial/tcomm.h"
#include "tests/support/pty_pair.h"

TEST(TCommDefaults, NewComponentReadsDocumentedValues) {
    QObject owner;
    auto* comm = new TComm(&owner);
    EXPECT_EQ(comm->Port(), 1);
    EXPECT_EQ(comm->InBufSize(), 2048u);
    EXPECT_EQ(comm->OutBufSize(), 2048u);
    EXPECT_EQ(comm->EventMask(), EventBit(cevRXCHAR));
    EXPECT_FALSE(comm->Connected());
    EXPECT_EQ(comm->BaudRate(), cbr9600);
    EXPECT_EQ(comm->ByteSize(), 8);
    EXPECT_EQ(comm->Parity(), cpNONE);
    EXPECT_EQ(comm->StopBits(), csbONE);
    EXPECT_EQ(comm->FlowControl(), cfcNone);
    EXPECT_FALSE(comm->OnCommEvent);
    EXPECT_FALSE(comm->OnCharReceived);
    EXPECT_FALSE(comm->OnCommError);
}

TEST(TCommDefaults, OwnerDestroysTheComponent) {
    auto* owner = new QObject;
    auto* comm = new TComm(owner);
    bool destroyed = false;
    QObject::connect(comm, &QObject::destroyed, [&destroyed] { destroyed = true; });
    delete owner;
    EXPECT_TRUE(destroyed);
}

TEST(TCommSetters, PortAcceptsOnlyOneToNinetyNine) {
    TComm comm(nullptr);
    comm.SetPort(0);
    EXPECT_EQ(comm.Port(), 1);
    comm.SetPort(100);
    EXPECT_EQ(comm.Port(), 1);
    comm.SetPort(99);
    EXPECT_EQ(comm.Port(), 99);
    comm.SetPort(255);
    EXPECT_EQ(comm.Port(), 99);
}

TEST(TCommSetters, ByteSizeAcceptsThreeToEight) {
    TComm comm(nullptr);
    comm.SetByteSize(2);
    EXPECT_EQ(comm.ByteSize(), 8);
    comm.SetByteSize(9);
    EXPECT_EQ(comm.ByteSize(), 8);
    comm.SetByteSize(3);
    EXPECT_EQ(comm.ByteSize(), 3);
    comm.SetByteSize(7);
    EXPECT_EQ(comm.ByteSize(), 7);
}

TEST(TCommSetters, BaudRateIgnoresOrdinalsBeyondTheTable) {
    TComm comm(nullptr);
    comm.SetBaudRate(cbr57600);
    EXPECT_EQ(comm.LineSettings().BaudRate, 57600u);
    comm.SetBaudRate(static_cast<TBaudRate>(15));
    EXPECT_EQ(comm.LineSettings().BaudRate, 57600u);
    EXPECT_EQ(comm.BaudRate(), cbr57600);
}

TEST(TCommSetters, ParityNoneClearsTheParityFlagOthersSetIt) {
    TComm comm(nullptr);
    for (TParity parity : {cpODD, cpEVEN, cpMARK, cpSPACE}) {
        comm.SetParity(parity);
        EXPECT_NE(comm.LineSettings().Flags & kDcbParity, 0u) << int(parity);
        EXPECT_EQ(comm.Parity(), parity);
        EXPECT_EQ(comm.LineSettings().Parity, static_cast<uint8_t>(parity));
    }
    comm.SetParity(cpNONE);
    EXPECT_EQ(comm.LineSettings().Flags & kDcbParity, 0u);
    EXPECT_EQ(comm.LineSettings().Parity, kNoParity);
}

TEST(TCommSetters, FlowControlWritesTheFlagWordAndReadsBack) {
    TComm comm(nullptr);
    comm.SetFlowControl(cfcHardware);
    uint32_t flags = comm.LineSettings().Flags;
    EXPECT_NE(flags & kDcbOutxCtsFlow, 0u);
    EXPECT_EQ(DcbRtsControl(flags), kRtsControlHandshake);
    EXPECT_EQ(DcbDtrControl(flags), kDtrControlEnable);
    EXPECT_EQ(flags & (kDcbOutX | kDcbInX), 0u);
    EXPECT_EQ(comm.FlowControl(), cfcHardware);

    comm.SetFlowControl(cfcXonXoff);
    EXPECT_EQ(comm.FlowControl(), cfcXonXoff);
    EXPECT_EQ(DcbRtsControl(comm.LineSettings().Flags), kRtsControlDisable);

    comm.SetFlowControl(cfcNone);
    flags = comm.LineSettings().Flags;
    EXPECT_EQ(DcbRtsControl(flags), kRtsControlDisable);
    EXPECT_EQ(comm.FlowControl(), cfcNone);
    EXPECT_NE(flags & kDcbBinary, 0u);

    comm.SetParity(cpEVEN);  // fParity is one of the fields flow control leaves alone
    comm.SetFlowControl(cfcHardware);
    EXPECT_NE(comm.LineSettings().Flags & kDcbParity, 0u);
}

TEST(TCommSetters, OrdinalsOutsideTheEnumerationsChangeNothing) {
    TComm comm(nullptr);
    comm.SetParity(cpEVEN);
    comm.SetStopBits(csbTWO);
    comm.SetFlowControl(cfcHardware);
    const DCB before = comm.LineSettings();
    comm.SetParity(static_cast<TParity>(5));
    comm.SetParity(static_cast<TParity>(9));
    comm.SetStopBits(static_cast<TStopBits>(3));
    comm.SetStopBits(static_cast<TStopBits>(7));
    comm.SetFlowControl(static_cast<TFlowControl>(3));
    comm.SetFlowControl(static_cast<TFlowControl>(255));
    const DCB& after = comm.LineSettings();
    EXPECT_EQ(after.Parity, before.Parity);
    EXPECT_EQ(after.StopBits, before.StopBits);
    EXPECT_EQ(after.Flags, before.Flags);  // DTR control and fParity included
    EXPECT_EQ(comm.FlowControl(), cfcHardware);
}

TEST(TCommSetters, CharactersAndLimitsAreStoredInTheLineSettings) {
    TComm comm(nullptr);
    comm.SetXonChar('Q');
    comm.SetXoffChar('S');
    comm.SetErrorChar('?');
    comm.SetEofChar(0x1A);
    comm.SetEvtChar('\r');
    comm.SetXOnLimit(100);
    comm.SetXOffLimit(200);
    const DCB& dcb = comm.LineSettings();
    EXPECT_EQ(dcb.XonChar, 'Q');
    EXPECT_EQ(dcb.XoffChar, 'S');
    EXPECT_EQ(dcb.ErrorChar, '?');
    EXPECT_EQ(dcb.EofChar, 0x1A);
    EXPECT_EQ(dcb.EvtChar, '\r');
    EXPECT_EQ(comm.XOnLimit(), 100);
    EXPECT_EQ(comm.XOffLimit(), 200);
}

TEST(TCommSetters, BufferSizesIgnoreZero) {
    TComm comm(nullptr);
    comm.SetInBufSize(0);
    comm.SetOutBufSize(0);
    EXPECT_EQ(comm.InBufSize(), 2048u);
    EXPECT_EQ(comm.OutBufSize(), 2048u);
    comm.SetInBufSize(4096);
    comm.SetOutBufSize(1);
    EXPECT_EQ(comm.InBufSize(), 4096u);
    EXPECT_EQ(comm.OutBufSize(), 1u);
}

TEST(TCommSetters, EveryEventMaskReadsBackUnchanged) {
    TComm comm(nullptr);
    for (uint32_t set = 0; set < 0x200; ++set) {
        comm.SetEventMask(static_cast<TEventMask>(set));
        ASSERT_EQ(comm.EventMask(), set);
    }
}

class TCommOpenPort : public ::testing::Test {
protected:
    PortDir dir_;
    PtyPair pty_{dir_, 5};
    TComm comm_{nullptr};

    void SetUp() override {
        comm_.SetPort(5);
        ASSERT_TRUE(comm_.Open());
    }
    termios Termios() const {
        termios tio{};
        tcgetattr(pty_.SlaveFd(), &tio);
        return tio;
    }
    speed_t Speed() const {
        const termios tio = Termios();
        return cfgetospeed(&tio);
    }
    // Changes the pty's speed behind the component's back, to see whether a setter
    // applies the settings again.
    void ChangeSpeedBehindItsBack() {
        termios tio = Termios();
        cfsetspeed(&tio, B1200);
        tcsetattr(pty_.SlaveFd(), TCSANOW, &tio);
    }
};

TEST_F(TCommOpenPort, OpenAppliesRawNineSixHundredEightNoneOne) {
    const termios tio = Termios();
    EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B9600));
    EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(tio.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO), 0u);
    EXPECT_EQ(tio.c_oflag & OPOST, 0u);
}

TEST_F(TCommOpenPort, ByteSizeOfTheCurrentValueDoesNotApplyAgain) {
    ChangeSpeedBehindItsBack();
    comm_.SetByteSize(8);
    EXPECT_EQ(Speed(), static_cast<speed_t>(B1200));
    comm_.SetByteSize(2);
    EXPECT_EQ(Speed(), static_cast<speed_t>(B1200));
    comm_.SetByteSize(7);
    EXPECT_EQ(Speed(), static_cast<speed_t>(B9600));
}

TEST_F(TCommOpenPort, IgnoredValuesAreNotAppliedEither) {
    ChangeSpeedBehindItsBack();
    comm_.SetParity(static_cast<TParity>(9));
    comm_.SetStopBits(static_cast<TStopBits>(7));
    comm_.SetFlowControl(static_cast<TFlowControl>(3));
    comm_.SetBaudRate(static_cast<TBaudRate>(15));
    EXPECT_EQ(Speed(), static_cast<speed_t>(B1200));
}

TEST_F(TCommOpenPort, StoreOnlyPropertiesWaitForTheNextApply) {
    ChangeSpeedBehindItsBack();
    comm_.SetXonChar('A');
    EXPECT_EQ(Speed(), static_cast<speed_t>(B1200));
    comm_.SetParity(cpEVEN);
    const termios tio = Termios();
    EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B9600));
    EXPECT_EQ(tio.c_cc[VSTART], 'A');
}

// A pty keeps speed, stop bits and the input flags (it forces CS8 and no parity; the
// mapping of those is checked without a device in termios_mapping_test.cpp).
TEST_F(TCommOpenPort, SettersReachTheOpenPortAtOnce) {
    comm_.SetStopBits(csbTWO);
    EXPECT_NE(Termios().c_cflag & CSTOPB, 0u);
    comm_.SetStopBits(csbONE5);  // eight data bits: one stop bit is the nearest
    EXPECT_EQ(Termios().c_cflag & CSTOPB, 0u);

    comm_.SetFlowControl(cfcXonXoff);
    EXPECT_EQ(Termios().c_iflag & (IXON | IXOFF), static_cast<tcflag_t>(IXON | IXOFF));
    comm_.SetFlowControl(cfcNone);
    EXPECT_EQ(Termios().c_iflag & (IXON | IXOFF), 0u);

    comm_.SetBaudRate(cbr115200);
    EXPECT_EQ(Speed(), static_cast<speed_t>(B115200));
    comm_.SetBaudRate(cbr14400);  // no B-constant: set through termios2
    EXPECT_EQ(ReadBaudRate(pty_.SlaveFd()), 14400u);
    comm_.SetBaudRate(cbr256000);
    EXPECT_EQ(ReadBaudRate(pty_.SlaveFd()), 256000u);
    comm_.SetBaudRate(cbr9600);
    EXPECT_EQ(Speed(), static_cast<speed_t>(B9600));
}

TEST_F(TCommOpenPort, PortWrittenWhileOpenIsLostNotDeferred) {
    comm_.SetPort(7);
    EXPECT_EQ(comm_.Port(), 5);
    comm_.Close();
    EXPECT_EQ(comm_.Port(), 5);
    comm_.SetPort(7);
    EXPECT_EQ(comm_.Port(), 7);
}
