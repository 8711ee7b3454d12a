#pragma once
// Processor time of this process, all threads included (the serial watcher thread runs
// beside the user-interface thread and its cost belongs to the figure).

/// User and system processor time in seconds since the process started.
struct CpuTimes {
    double user = 0;
    double system = 0;

    double Total() const { return user + system; }
    CpuTimes operator-(const CpuTimes& earlier) const {
        return {user - earlier.user, system - earlier.system};
    }
};

/// The process's processor time so far.
CpuTimes ProcessCpuTime();
