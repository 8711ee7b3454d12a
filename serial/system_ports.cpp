#include "serial/system_ports.h"

#include "serial/comm_port_backend.h"
#include "serial/port_list.h"

std::vector<std::string> SystemPorts::ListPorts() {
    return ListSerialPorts();
}

bool SystemPorts::IsBluetoothLink(int port) {
    return ::IsBluetoothLink(port);
}

bool SystemPorts::OutQueueShowsLinkUp(int port) {
    return ::OutQueueShowsLinkUp(port);
}

std::unique_ptr<CommPortBackend> SystemPorts::MakeBackend(ArrivalCounter& arrivals) {
    return MakeCommPortBackend(arrivals);
}

SystemPorts& SystemPorts::Instance() {
    static SystemPorts ports;
    return ports;
}
