#pragma once
// Waiting for something a test expects, with a generous deadline, instead of sleeping a
// fixed time. Two kinds: pumping the Qt event queue (the waiting thread is the one whose
// timers and notifications must run) and spinning without it (another thread makes the
// condition true, and no event of ours may run meanwhile).

#include <chrono>
#include <functional>

/// Runs the Qt event loop until `done` holds (checked every `checkEvery`) or `deadline`
/// passes; returns done(). It sleeps while nothing happens.
bool PumpUntil(const std::function<bool()>& done,
               std::chrono::milliseconds deadline = std::chrono::seconds(10),
               std::chrono::milliseconds checkEvery = std::chrono::milliseconds(2));
/// Runs the Qt event loop for `span` (to give something that must not happen a chance, or
/// to let timers run).
void PumpFor(std::chrono::milliseconds span);
/// Waits, without running the Qt event loop, until `done` holds or `deadline` passes;
/// returns done().
bool SpinUntil(const std::function<bool()>& done,
               std::chrono::milliseconds deadline = std::chrono::seconds(10));
