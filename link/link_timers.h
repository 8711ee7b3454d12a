#pragma once
// The poll timer (Timer1, 100 ms) and the retry timer (Timer2, 5 s) as the parts of the link
// switch them. DeviceLink owns them.

#include "link/link_clock.h"

struct LinkTimers {
    LinkClock::Timer& poll;
    LinkClock::Timer& retry;
};

/// Switching a running timer on leaves its phase alone (it does not restart it), so a retry
/// timer that every poll tick switches on still fires every 5 s.
inline void SwitchOn(LinkClock::Timer& timer) {
    if (!timer.IsActive()) {
        timer.Start();
    }
}
