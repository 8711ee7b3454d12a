// Checks the Win32 back end of CommPort against a real (emulated) COM port: run by
// run_under_wine.sh, which maps COM5 to a pty whose other end echoes every byte.
// Qt-free and GoogleTest-free, as the Windows cross build has neither. Exit code 0 when
// every check held.

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "serial/comm_port.h"
#include "serial/comm_tables.h"
#include "serial/port_list.h"

namespace {

int failures = 0;

void Check(bool condition, const char* what) {
    std::printf("%s %s\n", condition ? "ok  " : "FAIL", what);
    failures += condition ? 0 : 1;
}

// Waits for the echo of `count` bytes to reach the receive queue.
bool WaitForQueue(CommPort& port, uint32_t count) {
    for (int i = 0; i < 500; ++i) {
        if (port.QueueStatus().inQueue >= count) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

}  // namespace

int main() {
    bool listed = false;
    for (const std::string& name : ListSerialPorts()) {
        listed = listed || name == "COM5";
    }
    Check(listed, "COM5 is in the registry's port list");

    const DCB defaults = SystemDefaultLineSettings();
    Check(defaults.DCBlength == 28 || defaults.DCBlength == 0, "default DCB copied whole");

    CommPort port;
    Check(!port.Open(98), "a port that does not exist does not open");
    if (!port.Open(5)) {
        Check(false, "COM5 opens");
        return 1;
    }
    DCB dcb = DefaultLineSettings();
    dcb.StopBits = kOne5StopBits;  // what the program asks for
    port.ApplySettings(dcb, 2048, 2048);
    port.SetDtr(true);

    const std::string all = [] {
        std::string bytes;
        for (int byte = 0; byte < 256; ++byte) {
            bytes.push_back(static_cast<char>(byte));
        }
        return bytes;
    }();
    Check(port.Write(all.data(), static_cast<int32_t>(all.size())) == 256, "write 256 bytes");
    Check(WaitForQueue(port, 256), "echo reaches the receive queue");
    std::string got(300, '\0');
    // Asking for more than is there leaves a read pending: it must be cancelled and
    // return what it had, not go on writing into the buffer.
    const int32_t read = port.Read(got.data(), 300);
    got.resize(read > 0 ? static_cast<size_t>(read) : 0);
    Check(got == all, "read returns the 256 bytes, 8-bit clean");
    Check(port.Read(got.data(), 1) == 0, "nothing more to read");

    port.SetEventMask(EV_RXCHAR_BIT);
    int events = 0;
    int quiet = 0;
    for (int i = 0; i < 5; ++i) {
        const CommWaitResult result = port.WaitEvent();
        events += result.status == CommWaitStatus::Event ? 1 : 0;
        quiet += result.status == CommWaitStatus::Failed || result.status == CommWaitStatus::Woken
                     ? 1
                     : 0;
    }
    // Wine cannot wait for events on a pty (the wait ends aborted); that must come back as
    // a failure for the watcher to back off on, never as an event.
    Check(events + quiet == 5, "waits end as events, wake-ups or failures");

    port.Purge();
    port.SetDtr(false);
    port.Close();
    Check(port.Open(5), "the port opens again after Close");
    port.Close();
    std::printf("%d failure(s)\n", failures);
    return failures == 0 ? 0 : 1;
}
