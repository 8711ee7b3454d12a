// The demo's back end of CommPort: no system calls, the simulated ports of demo_ports.h in
// memory. TComm's watcher thread and its hand-shake run as on a real port: WaitEvent
// sleeps in the simulator until something is due on the port, SetEventMask wakes it.

#include <utility>

#include "serial/comm_port.h"
#include "serial/comm_port_backend.h"
#include "sim/demo_comm_port.h"
#include "sim/demo_ports.h"

namespace {

class DemoCommPort final : public CommPortBackend {
public:
    DemoCommPort(ArrivalCounter& arrivals, std::shared_ptr<DemoPorts> ports)
        : arrivals_(arrivals), ports_(std::move(ports)) {}
    ~DemoCommPort() override { Close(); }

    std::string DevicePath(uint8_t port) const override {
        return ports_->Has(port) ? DemoDevicePath(port) : std::string();
    }

    bool Open(const std::string& path, const CommOpenWait&, CommOpenError& error) override {
        // Nothing to wait for: the simulated link connects after the open, as rfcomm's.
        const int port = DemoPortOfPath(path);
        if (!ports_->Open(port, error)) {
            return false;
        }
        port_ = port;
        return true;
    }

    bool IsOpen() const override { return port_ != 0; }

    void Close() override {
        if (port_ != 0) {
            ports_->Close(port_);
            port_ = 0;
        }
    }

    // The simulated line runs at the simulator's rate whatever the line settings say, and
    // its queues have the tty layer's size.
    bool ApplySettings(const DCB&, uint32_t, uint32_t) override { return IsOpen(); }

    void SetEventMask(uint32_t evMask) override { ports_->SetEventMask(port_, evMask); }

    CommWaitResult WaitEvent() override { return ports_->Wait(port_, arrivals_); }

    uint32_t QueuedBytes() override { return ports_->QueueStatus(port_).inQueue; }

    uint32_t ModemStatus() override { return ports_->ModemStatus(port_); }

    void SetDtr(bool) override {}  // the simulated devices do not look at DTR

    void Purge() override { ports_->Purge(port_); }

    CommQueueStatus QueueStatus() override { return ports_->QueueStatus(port_); }

    int32_t Read(void* buffer, int32_t count) override {
        return ports_->Read(port_, buffer, count);
    }

    CommWriteResult Write(const void* buffer, int32_t count) override {
        return {ports_->Write(port_, buffer, count), false};
    }

    bool Gone() override { return ports_->HungUp(port_); }

private:
    ArrivalCounter& arrivals_;
    const std::shared_ptr<DemoPorts> ports_;
    int port_ = 0;  // owner's thread; stable while a watcher runs
};

}  // namespace

std::unique_ptr<CommPortBackend> MakeDemoCommPortBackend(ArrivalCounter& arrivals,
                                                         std::shared_ptr<DemoPorts> ports) {
    return std::make_unique<DemoCommPort>(arrivals, std::move(ports));
}
