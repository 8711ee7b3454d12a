#pragma once
// The ports a simulator's options ask for, in the order the options give them: the
// analyser's first, then the dead, the foreign and the refused ones, each with its
// Bluetooth link if --bluetooth names it; with --replay, the record's ports in the order
// its search listed them, the Bluetooth ones as links that come up at once. fumilink-sim's pty
// server and the program's demo ports make theirs from this list.

#include <optional>
#include <vector>

#include "sim/sim_device.h"
#include "sim/sim_options.h"

struct SimPortPlan {
    int number = 0;
    PortRole role = PortRole::Analyser;
    std::optional<SimBluetoothLink> link;
    const ReplayPort* replay = nullptr;  ///< its part of the record (PortRole::Replay)
};

std::vector<SimPortPlan> PlanPorts(const SimOptions& options);
