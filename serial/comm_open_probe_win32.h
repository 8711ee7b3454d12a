#pragma once
// A seam for tests of the Win32 open: a device that opens after its caller gave up is
// closed by the opening thread, long after the caller has returned. Wine lets a port be
// opened twice and reports no handle counts, so a test learns of that close through here.

/// Called on the opening thread right after it closed such a late device; null (the
/// program's case) calls nothing.
void SetLateDeviceProbe(void (*probe)());
