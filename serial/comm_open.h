#pragma once
// Opening a serial device without holding the caller up for as long as the system takes.
// Windows makes a Bluetooth COM port's radio connection inside CreateFile, which blocks
// for seconds and, for a device that is off, fails only after a long wait: comm_open_win32.cpp
// runs CreateFile on a thread of its own while the caller waits its own way (a window
// keeps handling its events). POSIX opens with O_NONBLOCK, which returns at once (an rfcomm
// tty connects in the background): comm_open_posix.cpp simply opens.

#include <cstdint>
#include <functional>
#include <string>

#include "serial/comm_open_error.h"

/// A file descriptor (POSIX) or a HANDLE (Windows).
using CommHandle = intptr_t;
/// No device: -1, which is also INVALID_HANDLE_VALUE.
inline constexpr CommHandle kNoCommHandle = -1;

/// How a caller waits while the system takes its time over an open. Both empty: the open
/// blocks until the system has answered.
struct CommOpenWait {
    /// Called on the opening thread again and again until the open is done. It should sleep
    /// until something happens (at the latest until `wake` has been called) and return
    /// false to give the open up.
    std::function<bool()> wait;
    /// Called once, on another thread, when the open is done while `wait` waits; never
    /// after OpenCommDevice has returned.
    std::function<void()> wake;
};

/// Opens the device `path` for exclusive reading and writing: Windows CreateFile with
/// FILE_FLAG_OVERLAPPED; POSIX open() with O_RDWR|O_NOCTTY|O_NONBLOCK|O_CLOEXEC. Returns
/// the device (the caller owns it), or kNoCommHandle when it cannot be opened or `wait`
/// gave up; `error` then says why (CommOpenFailure::GivenUp for the latter) and is left
/// alone otherwise. An open given up is never waited for; a device that opens afterwards
/// is closed.
CommHandle OpenCommDevice(const std::string& path, const CommOpenWait& wait, CommOpenError& error);
