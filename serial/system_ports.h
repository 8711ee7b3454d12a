#pragma once
// The system's own serial ports as a PortProvider: the list and the Bluetooth links of
// port_list.h, and the platform's back end (comm_port_posix.cpp, comm_port_win32.cpp).

#include "serial/port_provider.h"

class SystemPorts final : public PortProvider {
public:
    std::vector<std::string> ListPorts() override;
    bool IsBluetoothLink(int port) override;
    bool OutQueueShowsLinkUp(int port) override;
    std::unique_ptr<CommPortBackend> MakeBackend(ArrivalCounter& arrivals) override;

    /// One for whoever has no provider of its own to pass. It holds no state: every call asks
    /// the system.
    static SystemPorts& Instance();
};
