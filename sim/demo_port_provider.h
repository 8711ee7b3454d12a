#pragma once
// The demo's ports as the program's ports: the program start hands this provider down in
// place of the system's when the demo is asked for, and the search, the exchanges and the
// stream then run on the simulator inside the program.

#include <memory>

#include "serial/port_provider.h"
#include "sim/demo_ports.h"

class DemoPortProvider final : public PortProvider {
public:
    explicit DemoPortProvider(std::shared_ptr<DemoPorts> ports) : ports_(std::move(ports)) {}

    std::vector<std::string> ListPorts() override { return ports_->List(); }
    bool IsBluetoothLink(int port) override { return ports_->IsBluetoothLink(port); }
    /// The simulated link holds what is written in its output queue until it is up.
    bool OutQueueShowsLinkUp(int port) override { return ports_->IsBluetoothLink(port); }
    std::unique_ptr<CommPortBackend> MakeBackend(ArrivalCounter& arrivals) override;

    DemoPorts& Ports() { return *ports_; }

private:
    std::shared_ptr<DemoPorts> ports_;
};
