#pragma once
// The words for a system error number in the error texts of the file layer (they go into
// the debug output of tests and tools, never into a message box of their own).

#include <string>

/// The system's words for `systemError` (errno on POSIX, GetLastError() on Windows);
/// system_error_posix.cpp and system_error_win32.cpp implement it.
std::string DescribeSystemError(long systemError);
