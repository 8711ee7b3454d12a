#pragma once
// The ports a simulator's options ask for, in the order the options give them: the
// analyser's first, then the dead and the foreign ones, each with its Bluetooth link if
// --bluetooth names it. fumilink-sim's pty server and the program's demo ports make theirs
// from this list.

#include <optional>
#include <vector>

#include "sim/sim_device.h"
#include "sim/sim_options.h"

struct SimPortPlan {
    int number = 0;
    PortRole role = PortRole::Analyser;
    std::optional<SimBluetoothLink> link;
};

std::vector<SimPortPlan> PlanPorts(const SimOptions& options);
