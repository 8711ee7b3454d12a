#pragma once
// A serial line for a test: the code under test opens COM<Port()>, and the test plays the
// device at the other end. On Linux a pty pair linked as COM3 in a port folder of the
// test's own (test_line_posix.cpp); under Wine COM5, whose other end the test opens as
// COM6 (test_line_win32.cpp; win32/with_port_pairs.sh links both to one pty pair for the
// run). Written once, the scenarios run on both back ends through it.

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

class TestLine {
public:
    TestLine();
    ~TestLine();
    TestLine(const TestLine&) = delete;
    TestLine& operator=(const TestLine&) = delete;

    /// The port number the code under test opens.
    uint8_t Port() const;
    /// A port number no device answers to.
    static uint8_t MissingPort();

    /// What the analyser would send.
    void DeviceWrite(const std::string& bytes);
    /// Everything the device side can read within `deadline`, stopping once `expected`
    /// bytes have come.
    std::string DeviceRead(size_t expected,
                           std::chrono::milliseconds deadline = std::chrono::seconds(10));
    /// The device goes away for good: the line hangs up. (Its port is not opened again:
    /// Wine opens a COM port whose link has vanished as its default device for the number,
    /// /dev/ttyS<n-1>, where Windows would fail.)
    void HangUp();

private:
    struct Device;
    std::unique_ptr<Device> device_;
};

/// Number of watcher threads (named "comm-watcher") in this process.
int WatcherCount();
