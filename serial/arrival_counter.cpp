#include "serial/arrival_counter.h"

#include "serial/receive_count_probe.h"

namespace {
std::atomic<void (*)()> receiveCountProbe{nullptr};
}  // namespace

void SetReceiveCountProbe(void (*probe)()) {
    receiveCountProbe.store(probe, std::memory_order_release);
}

void ArrivalCounter::RunProbe() {
    if (const auto probe = receiveCountProbe.load(std::memory_order_acquire)) {
        probe();
    }
}

void ArrivalCounter::Reset() {
    bytesRead_.store(0, std::memory_order_relaxed);
    ignoredUpTo_.store(0, std::memory_order_relaxed);
    reported_ = 0;
}

void ArrivalCounter::CountRead(uint32_t count) {
    bytesRead_.fetch_add(count, std::memory_order_release);
}

void ArrivalCounter::IgnoreWaiting(uint32_t queued) {
    ignoredUpTo_.store(bytesRead_.load(std::memory_order_acquire) + queued,
                       std::memory_order_release);
}

bool ArrivalCounter::Compare(uint64_t received) {
    const uint64_t ignored = ignoredUpTo_.load(std::memory_order_acquire);
    if (ignored > reported_) {
        reported_ = ignored;
    }
    if (received <= reported_) {
        return false;
    }
    reported_ = received;
    return true;
}
