#pragma once
// The one-notification-in-flight hand-shake between the watcher thread and the thread
// that handles the notifications, plus the stop signal that releases the watcher when the
// port closes. It stands in for a manual-reset "ready" event (created signalled) and a
// stop event that the hand-shake waits for together with it.

#include <chrono>
#include <condition_variable>
#include <mutex>

class CommHandshake {
public:
    /// Watcher side: waits until the previous notification has been handled (or none is
    /// out), then marks one as outstanding. False, without marking, once Stop was called:
    /// the watcher must then post nothing more and end.
    bool Acquire();
    /// Handler side: the outstanding notification has been handled (sets "ready").
    void Release();
    /// Releases a watcher blocked in Acquire or WaitForStop, for good until Restart.
    void Stop();
    /// Clears the stop signal before a new watcher starts; "ready" keeps its state.
    void Restart();
    /// Watcher side: sleeps up to `timeout`, returns true at once if Stop was called.
    bool WaitForStop(std::chrono::milliseconds timeout);
    /// True when no notification is outstanding (the "ready" event is signalled).
    bool IsReady() const;

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool ready_ = true;
    bool stop_ = false;
};
