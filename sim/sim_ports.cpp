#include "sim/sim_ports.h"

std::vector<SimPortPlan> PlanPorts(const SimOptions& options) {
    std::vector<SimPortPlan> ports;
    const auto add = [&ports, &options](int number, PortRole role) {
        SimPortPlan port{number, role, std::nullopt};
        for (const SimBluetoothLink& link : options.bluetoothLinks) {
            if (link.port == number) {
                port.link = link;
            }
        }
        ports.push_back(port);
    };
    if (options.analyserPort) {
        add(*options.analyserPort, PortRole::Analyser);
    }
    for (int n : options.deadPorts) {
        add(n, PortRole::Dead);
    }
    for (int n : options.foreignPorts) {
        add(n, PortRole::Foreign);
    }
    return ports;
}
