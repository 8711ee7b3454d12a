// CommPort on every platform: what is the same everywhere, around the back end its port
// provider made (the platform's, or the demo's).

#include "serial/comm_port.h"

#include <utility>

#include "serial/comm_port_backend.h"
#include "serial/comm_types.h"
#include "serial/port_provider.h"

CommPort::CommPort(PortProvider& ports) : backend_(ports.MakeBackend(arrivals_)) {}
CommPort::~CommPort() = default;

bool CommPort::Open(uint8_t port, const CommOpenWait& wait) {
    if (backend_->IsOpen()) {
        openError_ = OpenErrorOfOurOwn(CommOpenFailure::Busy, "the port is open already", {});
        return false;
    }
    const std::string path = backend_->DevicePath(port);
    if (path.empty()) {
        openError_ = OpenErrorOfOurOwn(CommOpenFailure::NoDevice,
                                       "COM" + std::to_string(port) + " has no device", {});
        return false;
    }
    CommOpenError error = OpenErrorOfOurOwn(CommOpenFailure::Other, "the open failed", path);
    if (!backend_->Open(path, wait, error)) {
        openError_ = std::move(error);
        return false;
    }
    openError_ = CommOpenError{CommOpenFailure::None, 0, {}, path};
    arrivals_.Reset();
    evMask_ = 0;
    writeStalled_.store(false, std::memory_order_release);
    return true;
}
bool CommPort::IsOpen() const {
    return backend_->IsOpen();
}
void CommPort::Close() {
    backend_->Close();
}
bool CommPort::ApplySettings(const DCB& settings, uint32_t inBufSize, uint32_t outBufSize) {
    return backend_->ApplySettings(settings, inBufSize, outBufSize);
}
void CommPort::SetEventMask(uint32_t evMask) {
    if ((evMask & EV_RXCHAR_BIT) != 0 && (evMask_ & EV_RXCHAR_BIT) == 0 && backend_->IsOpen()) {
        // Bytes that came while EV_RXCHAR was off raise no event on Windows; no back end's
        // watcher reports them either.
        arrivals_.IgnoreWaiting(backend_->QueuedBytes());
    }
    evMask_ = evMask;
    backend_->SetEventMask(evMask);
}
CommWaitResult CommPort::WaitEvent() {
    const CommWaitResult result = backend_->WaitEvent();
    if (result.status == CommWaitStatus::Event && (result.events & EV_RXCHAR_BIT) != 0) {
        writeStalled_.store(false, std::memory_order_release);
    }
    return result;
}
uint32_t CommPort::ModemStatus() {
    return backend_->ModemStatus();
}
void CommPort::SetDtr(bool raise) {
    backend_->SetDtr(raise);
}
void CommPort::Purge() {
    backend_->Purge();
}
CommQueueStatus CommPort::QueueStatus() {
    return backend_->QueueStatus();
}
int32_t CommPort::Read(void* buffer, int32_t count) {
    const int32_t got = backend_->Read(buffer, count);
    if (got > 0) {
        arrivals_.CountRead(static_cast<uint32_t>(got));
        writeStalled_.store(false, std::memory_order_release);
    }
    return got;
}
int32_t CommPort::Write(const void* buffer, int32_t count) {
    // A line that took nothing for a whole deadline (a Bluetooth link whose analyser went
    // out of range, a tty held back for good) would make every later write wait as long:
    // a command written byte by byte would freeze its caller for seconds per byte. Bytes
    // coming in again show that the other end is back.
    if (writeStalled_.load(std::memory_order_acquire)) {
        return 0;
    }
    const CommWriteResult result = backend_->Write(buffer, count);
    if (result.missedDeadline) {
        writeStalled_.store(true, std::memory_order_release);
    }
    return result.written;
}
bool CommPort::Gone() {
    return backend_->IsOpen() && backend_->Gone();
}
