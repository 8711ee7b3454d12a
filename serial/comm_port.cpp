// CommPort on every platform: forwards to the platform's back end and keeps what is the
// same everywhere, the stall of a line whose writes stopped draining.

#include "serial/comm_port.h"

#include "serial/comm_port_backend.h"
#include "serial/comm_types.h"

CommPort::CommPort() : backend_(MakeCommPortBackend()) {}
CommPort::~CommPort() = default;

bool CommPort::Open(uint8_t port, const CommOpenWait& wait) {
    if (!backend_->Open(port, wait)) {
        return false;
    }
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
