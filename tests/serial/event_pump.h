#pragma once
// The serial tests are the component's creating thread: they pump the Qt event queue
// themselves to receive its notifications.

#include <chrono>
#include <functional>

/// Pumps the Qt event queue until `done` holds or `deadline` passes; returns `done()`.
bool PumpUntil(const std::function<bool()>& done,
               std::chrono::milliseconds deadline = std::chrono::seconds(10));
/// Waits, without pumping the Qt event queue, until `done` holds or `deadline` passes.
bool WaitUntil(const std::function<bool()>& done,
               std::chrono::milliseconds deadline = std::chrono::seconds(10));
/// Pumps the Qt event queue for `span` (to give something that must not happen a chance).
void PumpFor(std::chrono::milliseconds span);
