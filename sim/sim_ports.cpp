#include "sim/sim_ports.h"

std::vector<SimPortPlan> PlanPorts(const SimOptions& options) {
    std::vector<SimPortPlan> ports;
    if (options.replay) {
        for (const ReplayPort& recorded : options.replay->ports) {
            SimPortPlan port{recorded.number, PortRole::Replay, std::nullopt, &recorded};
            if (recorded.bluetooth) {
                // The record shows when the link answered (the first reply's delay); the
                // port only has to be one.
                port.link = SimBluetoothLink{recorded.number, SimTime{0}, false};
            }
            ports.push_back(port);
        }
        return ports;
    }
    const auto add = [&ports, &options](int number, PortRole role) {
        SimPortPlan port{number, role, std::nullopt, nullptr};
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
    for (int n : options.refusedPorts) {
        add(n, PortRole::Refused);
    }
    return ports;
}
