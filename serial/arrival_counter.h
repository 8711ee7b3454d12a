#pragma once
// Received data is an event when bytes arrive, never merely because unread bytes wait (as
// Windows raises EV_RXCHAR). Neither a tty nor a port that can only be polled says when
// bytes arrived, so the watcher works it out: bytes read so far plus bytes in the receive
// queue is everything received since the open, and whatever goes beyond the count it
// reported last is new. Both back ends' watchers count through this class.
//
// Thread safety: Reset, CountRead and IgnoreWaiting on the owner's thread; Arrived on the
// watcher thread; Reset only while no watcher runs.

#include <atomic>
#include <cstdint>
#include <optional>

class ArrivalCounter {
public:
    /// A port was opened: nothing read, nothing reported.
    void Reset();
    /// `count` bytes were taken from the receive queue.
    void CountRead(uint32_t count);
    /// EV_RXCHAR is being switched on while `queued` bytes wait: they came while arrivals
    /// were not watched, and are no event (as on Windows).
    void IgnoreWaiting(uint32_t queued);

    /// Whether bytes arrived beyond those reported before; true also marks them reported.
    /// `readQueue` gives the receive-queue count (std::optional<uint32_t>, empty when the
    /// count failed; then so does this, and nothing is marked).
    ///
    /// The counter is taken before the queue: a Read in between moves its bytes from the
    /// queue to the counter unseen, so they are missed this time and counted on the next
    /// call. The other order counts them twice, and that many later arrivals would raise
    /// no event.
    template <typename ReadQueue>
    std::optional<bool> Arrived(ReadQueue readQueue) {
        const uint64_t readSoFar = bytesRead_.load(std::memory_order_acquire);
        RunProbe();
        const std::optional<uint32_t> queued = readQueue();
        if (!queued) {
            return std::nullopt;
        }
        return Compare(readSoFar + *queued);
    }

private:
    static void RunProbe();
    bool Compare(uint64_t received);

    std::atomic<uint64_t> bytesRead_{0};
    std::atomic<uint64_t> ignoredUpTo_{0};  // received count when EV_RXCHAR last came on
    uint64_t reported_ = 0;                 // watcher thread only
};
