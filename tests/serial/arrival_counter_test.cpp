// The watchers' count of arrived bytes, without a port: a queue that the test fills and
// reads stands in for the driver's.

#include <gtest/gtest.h>

#include <optional>

#include "serial/arrival_counter.h"
#include "serial/receive_count_probe.h"

namespace {

struct FakeQueue {
    uint32_t waiting = 0;

    void Receive(uint32_t count) { waiting += count; }
    void Read(ArrivalCounter& counter, uint32_t count) {
        waiting -= count;
        counter.CountRead(count);
    }
    std::optional<bool> Look(ArrivalCounter& counter) {
        return counter.Arrived([this] { return std::optional<uint32_t>(waiting); });
    }
};

// The probe runs between the two halves of the count; the test's queue lives here for it.
FakeQueue* queueForProbe = nullptr;
ArrivalCounter* counterForProbe = nullptr;

void ReadEverything() {
    queueForProbe->Read(*counterForProbe, queueForProbe->waiting);
}

}  // namespace

TEST(ArrivalCounter, ReportsArrivalsNotWaitingBytes) {
    ArrivalCounter counter;
    FakeQueue queue;
    EXPECT_EQ(queue.Look(counter), false);
    queue.Receive(3);
    EXPECT_EQ(queue.Look(counter), true);
    EXPECT_EQ(queue.Look(counter), false);  // still unread, already reported
    queue.Read(counter, 2);
    EXPECT_EQ(queue.Look(counter), false);  // a read is no arrival
    queue.Receive(1);
    EXPECT_EQ(queue.Look(counter), true);  // even while older bytes still wait

    // A queue that cannot be counted counts nothing and marks nothing reported.
    queue.Receive(1);
    EXPECT_EQ(counter.Arrived([] { return std::optional<uint32_t>(); }), std::nullopt);
    EXPECT_EQ(queue.Look(counter), true);

    // Bytes that waited while arrivals were not watched are no event; later ones are.
    queue.Receive(4);
    counter.IgnoreWaiting(queue.waiting);
    EXPECT_EQ(queue.Look(counter), false);
    queue.Receive(1);
    EXPECT_EQ(queue.Look(counter), true);

    // A new open starts from nothing.
    counter.Reset();
    FakeQueue reopened;
    reopened.Receive(1);
    EXPECT_EQ(reopened.Look(counter), true);
}

TEST(ArrivalCounter, AReadDuringTheCountNeverCostsALaterArrivalItsEvent) {
    ArrivalCounter counter;
    FakeQueue queue;
    queue.Receive(5);
    ASSERT_EQ(queue.Look(counter), true);

    queueForProbe = &queue;
    counterForProbe = &counter;
    SetReceiveCountProbe(ReadEverything);
    const std::optional<bool> during = queue.Look(counter);
    SetReceiveCountProbe(nullptr);
    EXPECT_EQ(during, false);  // the read moved the bytes unseen: nothing new

    queue.Receive(5);
    EXPECT_EQ(queue.Look(counter), true) << "the bytes sent after the read raised no event";
}
