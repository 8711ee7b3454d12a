// Which device a COM number opens on POSIX: the port folder, and the device-family table,
// also against a stand-in sysfs that says which UART slots have hardware.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <utility>

#include "serial/comm_port.h"
#include "serial/port_list.h"
#include "serial/port_paths.h"
#include "serial/port_paths_posix.h"
#include "tests/support/pty_pair.h"
#include "tests/support/temp_dir.h"

namespace {

// A sysfs with the kernel's tty class entries for some ttyS slots; `type` is what the
// 8250 driver writes there (0: no UART in the slot).
class StandInSysfs {
public:
    void Uart(int index, const std::string& type) {
        const std::string dir = root_.Path() + "/class/tty/ttyS" + std::to_string(index);
        std::filesystem::create_directories(dir);
        std::ofstream(dir + "/type") << type << "\n";
    }
    const std::string& Root() const { return root_.Path(); }

private:
    TempDir root_;
};

}  // namespace

TEST(DeviceFamilies, EachFamilyOwnsItsRangeAndUartsCountWhereTheHardwareIs) {
    StandInSysfs sys;
    sys.Uart(0, "4");  // 16550A
    sys.Uart(1, "0");  // slot without a UART
    sys.Uart(3, "4");  // (ttyS2 has no entry at all)
    sys.Uart(4, "4");
    sys.Uart(5, "0");
    sys.Uart(17, "x");  // unreadable
    sys.Uart(18, "1");
    const struct {
        int port;
        const char* device;
    } rows[] = {
        {0, ""},
        {1, "/dev/ttyS0"},
        {2, ""},
        {3, ""},
        {4, "/dev/ttyS3"},
        {5, "/dev/rfcomm0"},
        {6, "/dev/rfcomm1"},
        {20, "/dev/rfcomm15"},
        {21, "/dev/ttyUSB0"},
        {50, "/dev/ttyUSB29"},
        {51, "/dev/ttyACM0"},
        {80, "/dev/ttyACM29"},
        {81, ""},
        {84, ""},
        {85, "/dev/ttyS4"},  // the number of an earlier table, which put ttyS<k> at COM81+k
        {86, ""},
        {98, ""},
        {99, "/dev/ttyS18"},
        {100, ""},
        {255, ""},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(FamilyDevicePath(static_cast<uint8_t>(row.port), sys.Root()), row.device)
            << "COM" << row.port;
    }
}

TEST(PortPaths, PortFolderMapsNumbersToComLinks) {
    PortDir dir;
    EXPECT_EQ(DevicePathOfPort(12), dir.Path() + "/COM12");
    EXPECT_EQ(DevicePathOfPort(99), dir.Path() + "/COM99");
    EXPECT_EQ(DevicePathOfPort(0), "");
    EXPECT_EQ(DevicePathOfPort(100), "");
}

TEST(PortPaths, WithoutPortFolderDeviceFamiliesHaveFixedRanges) {
    unsetenv("FUMILINK_PORT_DIR");
    EXPECT_EQ(DevicePathOfPort(5), "/dev/rfcomm0");
    EXPECT_EQ(DevicePathOfPort(20), "/dev/rfcomm15");
    EXPECT_EQ(DevicePathOfPort(21), "/dev/ttyUSB0");
    EXPECT_EQ(DevicePathOfPort(50), "/dev/ttyUSB29");
    EXPECT_EQ(DevicePathOfPort(51), "/dev/ttyACM0");
    EXPECT_EQ(DevicePathOfPort(80), "/dev/ttyACM29");
    // UART slots count only where the hardware is there, so these may be empty.
    const std::pair<int, std::string> uarts[] = {
        {1, "/dev/ttyS0"}, {4, "/dev/ttyS3"}, {85, "/dev/ttyS4"}, {99, "/dev/ttyS18"}};
    for (const auto& [port, device] : uarts) {
        const std::string path = DevicePathOfPort(static_cast<uint8_t>(port));
        EXPECT_TRUE(path.empty() || path == device) << "COM" << port << ": " << path;
    }
    for (int port = 81; port <= 84; ++port) {
        EXPECT_EQ(DevicePathOfPort(static_cast<uint8_t>(port)), "") << "COM" << port;
    }
    setenv("FUMILINK_PORT_DIR", "", 1);  // empty counts as not set
    EXPECT_EQ(DevicePathOfPort(21), "/dev/ttyUSB0");
    unsetenv("FUMILINK_PORT_DIR");
}

TEST(PortPaths, PortFolderThatIsNoFolderMeansNoPortsAndSaysSoOnce) {
    PortDir dir;
    const std::string file = dir.Path() + "/plain-file";
    ASSERT_TRUE(std::ofstream(file).good());
    for (const std::string& missing : {dir.Path() + "/mistyped", file}) {
        setenv("FUMILINK_PORT_DIR", missing.c_str(), 1);
        testing::internal::CaptureStderr();
        EXPECT_TRUE(ListSerialPorts().empty()) << missing;
        for (int port = 1; port <= 99; ++port) {
            EXPECT_EQ(DevicePathOfPort(static_cast<uint8_t>(port)), "") << port;
        }
        CommPort port;
        EXPECT_FALSE(port.Open(21));
        EXPECT_TRUE(ListSerialPorts().empty());
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_EQ(said,
                  "fumilink: FUMILINK_PORT_DIR=" + missing + " is not a folder: no serial ports\n");
    }
}

// The search treats port number 1 as "no pairing found", so a Bluetooth link there would
// send a user whose analyser is merely switched off to pair it again.
TEST(PortPaths, NoBluetoothLinkIsComOneAndNoDeviceHasTwoNumbers) {
    unsetenv("FUMILINK_PORT_DIR");
    std::map<std::string, int> numberOf;
    for (int port = 1; port <= 99; ++port) {
        const std::string path = DevicePathOfPort(static_cast<uint8_t>(port));
        if (path.empty()) {
            continue;
        }
        const auto [entry, inserted] = numberOf.emplace(path, port);
        EXPECT_TRUE(inserted) << path << " is COM" << entry->second << " and COM" << port;
    }
    EXPECT_EQ(DevicePathOfPort(1).find("rfcomm"), std::string::npos);
    int nonUart = 0;
    for (const auto& entry : numberOf) {
        nonUart += entry.first.rfind("/dev/ttyS", 0) == 0 ? 0 : 1;
    }
    EXPECT_EQ(nonUart, 16 + 30 + 30);  // rfcomm, ttyUSB and ttyACM always have numbers
}
