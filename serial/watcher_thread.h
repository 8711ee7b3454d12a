#pragma once
// How the watcher thread of a port sets itself up: watcher_thread_posix.cpp and
// watcher_thread_win32.cpp.

/// Called by the watcher thread as it starts: lowers its priority one step below normal and
/// names it "comm-watcher" (visible in debuggers and /proc).
void EnterWatcherThread();
