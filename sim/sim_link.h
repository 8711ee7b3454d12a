#pragma once
// The radio link behind a port that stands for a Bluetooth serial link, as the kernel's
// rfcomm driver shows it to the program: opening the port starts the connection, which
// comes up (or fails) some time later; what the program writes meanwhile waits in the
// kernel's queue and goes out once the link is up; closing the port ends the link. No I/O:
// the event loop reports opens, closes and received bytes, and asks what is due.

#include <cstddef>
#include <optional>
#include <string>

#include "sim/sim_options.h"
#include "sim/sim_time.h"

class SimLink {
public:
    enum class State { Down, Connecting, Up };
    /// What Advance found due.
    enum class Change { None, CameUp, Failed };

    explicit SimLink(const SimBluetoothLink& settings) : settings_(settings) {}

    /// The program opened the port at `now` (nobody had it open): the connection starts.
    void Open(SimTime now);
    /// Nobody has the port open any more: the link is down, held bytes are lost.
    void Close();

    /// Bytes the program wrote. Returns those the analyser hears now: all while the link
    /// is up; none while it connects (they are held) or is down (nobody sent them).
    std::string Pass(std::string bytes);

    /// The link's state at `now`. CameUp hands the held bytes over in `delivered`; after
    /// Failed the link is down and the port has to hang up.
    Change Advance(SimTime now, std::string& delivered);

    /// When Advance has something to do, if a connection is being made.
    std::optional<SimTime> NextDeadline() const;

    /// Bytes the program wrote that wait for the link to come up: the output queue the
    /// program sees (TIOCOUTQ of an rfcomm tty).
    size_t HeldBytes() const { return held_.size(); }
    /// The program emptied its output queue (a purge): the held bytes never go out.
    void DropHeld() { held_.clear(); }

    State state() const { return state_; }
    const SimBluetoothLink& settings() const { return settings_; }

private:
    SimBluetoothLink settings_;
    State state_ = State::Down;
    SimTime decidedAt_{0};  // when the connection comes up or fails
    std::string held_;
};
