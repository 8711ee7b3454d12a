#pragma once
// A seam for tests of the POSIX CommPort: the race between the watcher's count of arrived
// bytes and a Read on the owner's thread lasts microseconds; a test puts its Read right
// into it through this probe instead of hoping to hit it.

/// Called by CommPort::WaitEvent on the watcher thread between taking the bytes-read
/// counter and the receive-queue count; null (the program's case) calls nothing. Set it
/// while no watcher runs.
void SetReceiveCountProbe(void (*probe)());
