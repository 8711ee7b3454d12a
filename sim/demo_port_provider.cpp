#include "sim/demo_port_provider.h"

#include "sim/demo_comm_port.h"

std::unique_ptr<CommPortBackend> DemoPortProvider::MakeBackend(ArrivalCounter& arrivals) {
    // Every back end shares the ports: a CommPort may outlive the provider it was made with.
    return MakeDemoCommPortBackend(arrivals, ports_);
}
