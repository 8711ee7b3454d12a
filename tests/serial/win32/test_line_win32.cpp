// The line under Wine: with_port_pairs.sh links COM5 and COM6 to the two ends of one pty
// pair, names its folder in FUMILINK_TEST_PORT_DIR and keeps a file "linked" there while
// the pair is up. A file "hang-up" there makes it end the pair (the port hangs up, the
// links vanish); once the file is gone again it links a new one, for the next test.

#include "serial/windows_dcb_win32.h"

#include <tlhelp32.h>

#include <chrono>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <thread>

#include "serial/comm_port.h"
#include "serial/comm_tables.h"
#include "serial/default_line_settings.h"
#include "tests/serial/test_line.h"
#include "tests/serial/win32/read_up_to_win32.h"

using namespace std::chrono_literals;

namespace {

constexpr uint8_t kPort = 5;
constexpr uint8_t kDevicePort = 6;

// The harness's folder as Wine sees it: drive Z: is the Unix root.
std::string PortFolder() {
    const char* unix = std::getenv("FUMILINK_TEST_PORT_DIR");
    if (unix == nullptr || *unix != '/') {
        throw std::runtime_error("FUMILINK_TEST_PORT_DIR must name the harness's port folder");
    }
    std::string path = std::string("Z:") + unix;
    for (char& c : path) {
        c = c == '/' ? '\\' : c;
    }
    return path;
}

// Waits until the harness's file `name` exists (or, with `exists` false, no longer does).
bool WaitForFile(const std::string& folder, const char* name, bool exists) {
    const std::string path = folder + "\\" + name;
    for (int i = 0; i < 500; ++i) {
        if ((GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) == exists) {
            return true;
        }
        std::this_thread::sleep_for(20ms);
    }
    return false;
}

}  // namespace

struct TestLine::Device {
    std::string folder = PortFolder();
    CommPort port;
    bool hungUp = false;
};

TestLine::TestLine() : device_(std::make_unique<Device>()) {
    if (!WaitForFile(device_->folder, "linked", true) || !device_->port.Open(kDevicePort)) {
        throw std::runtime_error("the harness's line COM5-COM6 is not there");
    }
    device_->port.ApplySettings(DefaultLineSettings(), 2048, 2048);
    // The line outlives a test: nothing of an earlier one may still be on it, at either end.
    device_->port.Purge();
    CommPort end;
    if (end.Open(kPort)) {
        end.Purge();
    }
}

TestLine::~TestLine() {
    device_->port.Close();
    if (device_->hungUp) {
        DeleteFileA((device_->folder + "\\hang-up").c_str());
        WaitForFile(device_->folder, "linked", true);
    }
}

uint8_t TestLine::Port() const {
    return kPort;
}

uint8_t TestLine::MissingPort() {
    return 98;  // the test prefix maps no such port
}

void TestLine::DeviceWrite(const std::string& bytes) {
    const int32_t size = static_cast<int32_t>(bytes.size());
    if (device_->port.Write(bytes.data(), size) != size) {
        throw std::runtime_error("device write failed");
    }
}

std::string ReadUpTo(CommPort& port, size_t expected, std::chrono::milliseconds deadline) {
    std::string got;
    const auto end = std::chrono::steady_clock::now() + deadline;
    char buffer[512];
    while (got.size() < expected && std::chrono::steady_clock::now() < end) {
        const int32_t n = port.Read(buffer, sizeof buffer);
        if (n > 0) {
            got.append(buffer, static_cast<size_t>(n));
        } else {
            std::this_thread::sleep_for(5ms);
        }
    }
    return got;
}

std::string TestLine::DeviceRead(size_t expected, std::chrono::milliseconds deadline) {
    return ReadUpTo(device_->port, expected, deadline);
}

void TestLine::HangUp() {
    device_->port.Close();
    const HANDLE request = CreateFileA((device_->folder + "\\hang-up").c_str(), GENERIC_WRITE, 0,
                                       nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (request == INVALID_HANDLE_VALUE) {
        throw std::runtime_error("cannot ask the harness to hang up");
    }
    CloseHandle(request);
    device_->hungUp = true;
    if (!WaitForFile(device_->folder, "linked", false)) {
        throw std::runtime_error("the harness did not hang the line up");
    }
}

int WatcherCount() {
    using GetDescription = HRESULT(WINAPI*)(HANDLE, PWSTR*);
    const auto get = reinterpret_cast<GetDescription>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetThreadDescription")));
    if (get == nullptr) {
        throw std::runtime_error("GetThreadDescription is missing");
    }
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        throw std::runtime_error("no thread snapshot");
    }
    int count = 0;
    THREADENTRY32 entry;
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID != GetCurrentProcessId()) {
            continue;
        }
        const HANDLE thread =
            OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ThreadID);
        if (thread == nullptr) {
            continue;
        }
        PWSTR name = nullptr;
        if (SUCCEEDED(get(thread, &name)) && name != nullptr) {
            count += std::wstring(name) == L"comm-watcher" ? 1 : 0;
            LocalFree(name);
        }
        CloseHandle(thread);
    }
    CloseHandle(snapshot);
    return count;
}
