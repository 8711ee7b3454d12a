// The port list of the system, or of the demo while its simulated ports are in use.

#include "serial/port_list.h"

#include "serial/demo_ports.h"
#include "serial/port_list_system.h"

std::vector<std::string> ListSerialPorts() {
    if (const auto demo = DemoPortsInUse()) {
        return demo->List();
    }
    return SystemSerialPorts();
}

bool IsBluetoothLink(int port) {
    if (const auto demo = DemoPortsInUse()) {
        return demo->IsBluetoothLink(port);
    }
    return SystemIsBluetoothLink(port);
}

bool OutQueueShowsLinkUp(int port) {
    if (const auto demo = DemoPortsInUse()) {
        // The simulated link holds what is written in its output queue until it is up.
        return demo->IsBluetoothLink(port);
    }
    return SystemOutQueueShowsLinkUp(port);
}
