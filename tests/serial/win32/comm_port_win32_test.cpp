// The Win32 back end under Wine, on the pty-backed COM ports of with_port_pairs.sh, in what
// only Windows has: the port list from the registry, line settings a driver may refuse,
// overlapped reads.

#include "serial/windows_dcb_win32.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "serial/comm_open_error.h"
#include "serial/comm_port.h"
#include "serial/comm_tables.h"
#include "serial/default_line_settings.h"
#include "serial/port_list.h"
#include "serial/port_paths.h"
#include "tests/serial/open_line.h"
#include "tests/serial/test_line.h"
#include "tests/serial/win32/read_up_to_win32.h"

using namespace std::chrono_literals;

namespace {

class Line : public OpenLine {};

}  // namespace

TEST(PortList, MappedPortsAreListedAndOthersDoNotOpen) {
    const std::vector<std::string> names = ListSerialPorts();
    for (const char* mapped : {"COM5", "COM6"}) {
        EXPECT_NE(std::find(names.begin(), names.end(), mapped), names.end()) << mapped;
    }
    CommPort port;
    EXPECT_FALSE(port.Open(TestLine::MissingPort()));
    EXPECT_FALSE(port.IsOpen());
    // Taken on the thread that opened it (comm_open_win32.cpp) and kept.
    EXPECT_EQ(port.LastOpenError().failure, CommOpenFailure::NoDevice);
    EXPECT_EQ(port.LastOpenError().code, static_cast<uint32_t>(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(port.LastOpenError().text.empty());
    EXPECT_EQ(port.LastOpenError().device, "\\\\.\\COM98");
    EXPECT_EQ(DevicePathOfPort(12), "\\\\.\\COM12");
    EXPECT_EQ(DevicePathOfPort(0), "");
}

TEST(OpenErrors, SystemCodesMeanWhatTheUserIsTold) {
    const struct {
        DWORD code;
        CommOpenFailure failure;
    } rows[] = {
        // What a COM port that another program holds answers a second open with.
        {ERROR_ACCESS_DENIED, CommOpenFailure::Busy},
        {ERROR_SHARING_VIOLATION, CommOpenFailure::Busy},
        {ERROR_FILE_NOT_FOUND, CommOpenFailure::NoDevice},
        {ERROR_PATH_NOT_FOUND, CommOpenFailure::NoDevice},
        {ERROR_OPERATION_ABORTED, CommOpenFailure::GivenUp},
        {ERROR_SEM_TIMEOUT, CommOpenFailure::Other},  // a Bluetooth link that did not connect
    };
    for (const auto& row : rows) {
        const CommOpenError error = OpenErrorFromSystem(row.code, "\\\\.\\COM5");
        EXPECT_EQ(error.failure, row.failure) << row.code;
        EXPECT_EQ(error.code, row.code);
        ASSERT_FALSE(error.text.empty()) << row.code;
        EXPECT_NE(error.text.back(), '\n') << row.code;
    }
}

TEST_F(Line, LineSettingsGoToTheDriverWhichMayRefuseThem) {
    EXPECT_TRUE(port_.ApplySettings(DefaultLineSettings(), 4096, 1024));
    DCB fast = DefaultLineSettings();
    fast.BaudRate = 115200;
    fast.Parity = kEvenParity;
    fast.Flags |= kDcbParity;
    EXPECT_TRUE(port_.ApplySettings(fast, 2048, 2048));
    DCB nine = DefaultLineSettings();
    nine.ByteSize = 9;
    EXPECT_FALSE(port_.ApplySettings(nine, 2048, 2048));
}

TEST_F(Line, ReadOfAnEmptyQueueTakesNothingAwayFromLaterBytes) {
    char buffer[16];
    EXPECT_EQ(port_.Read(buffer, sizeof buffer), 0);
    line_.DeviceWrite("abc");
    EXPECT_EQ(ReadUpTo(port_, 3), "abc");
}

TEST_F(Line, ReopenedPortKeepsWorking) {
    port_.Close();
    EXPECT_FALSE(port_.IsOpen());
    ASSERT_TRUE(port_.Open(line_.Port()));
    port_.ApplySettings(DefaultLineSettings(), 2048, 2048);
    line_.DeviceWrite("\r\n");
    EXPECT_EQ(ReadUpTo(port_, 2), "\r\n");
}
