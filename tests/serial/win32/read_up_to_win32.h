#pragma once
// Reading a Win32 CommPort until enough has come, for the tests whose line ends are both
// COM ports under Wine.

#include <chrono>
#include <string>

#include "serial/comm_port.h"

/// Everything `port` can read within `deadline`, stopping once `expected` bytes have come.
std::string ReadUpTo(CommPort& port, size_t expected,
                     std::chrono::milliseconds deadline = std::chrono::seconds(10));
