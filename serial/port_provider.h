#pragma once
// Where the program's serial ports come from: the system's (system_ports.h) or, in the demo,
// the simulator's inside the program (sim/demo_port_provider.h). The program start makes one
// and hands it down; the port search asks it which ports there are, and every TComm made with
// it opens its ports through it. Nothing else decides which ports are in use.

#include <memory>
#include <string>
#include <vector>

#include "serial/arrival_counter.h"

class CommPortBackend;

class PortProvider {
public:
    virtual ~PortProvider() = default;

    /// Names "COM<n>" (characters 4.. hold the number), in the order the search walks them;
    /// empty when there are none.
    virtual std::vector<std::string> ListPorts() = 0;

    /// True when COM `port` is a Bluetooth serial link, whose radio connection is made when
    /// the port is opened and takes seconds.
    virtual bool IsBluetoothLink(int port) = 0;

    /// True when COM `port` is a Bluetooth link whose driver holds what is written in the
    /// output queue until the link is up, so that the queue running empty after a write says
    /// the link is up.
    virtual bool OutQueueShowsLinkUp(int port) = 0;

    /// A closed back end for one CommPort, on these ports. Its watcher asks `arrivals`, which
    /// must outlive it.
    virtual std::unique_ptr<CommPortBackend> MakeBackend(ArrivalCounter& arrivals) = 0;
};
