#pragma once
// The demo's back end of CommPort, on the simulated ports of demo_ports.h.

#include <memory>

#include "serial/arrival_counter.h"
#include "serial/comm_port_backend.h"

class DemoPorts;

/// A closed back end on `ports`; its watcher asks `arrivals`, which must outlive it.
std::unique_ptr<CommPortBackend> MakeDemoCommPortBackend(ArrivalCounter& arrivals,
                                                         std::shared_ptr<DemoPorts> ports);
