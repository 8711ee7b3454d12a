#pragma once
// A seam for tests of the watchers' arrival count: the race between taking the bytes-read
// counter and a Read on the owner's thread lasts microseconds; a test puts its Read right
// into it through this probe instead of hoping to hit it. Both back ends count through
// ArrivalCounter, so one probe reaches both.

/// Called by ArrivalCounter::Arrived on the watcher thread between taking the bytes-read
/// counter and the receive-queue count; null (the program's case) calls nothing. Set it
/// while no watcher runs.
void SetReceiveCountProbe(void (*probe)());
