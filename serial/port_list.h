#pragma once
// The system's serial ports as "COM<n>" names, in the order the port search walks them.
// port_list_posix.cpp and port_list_win32.cpp implement it; serial/README.md says how POSIX
// devices are numbered.

#include <string>
#include <vector>

/// Names "COM<n>" (characters 4.. hold the number), in a stable order: on Windows the
/// order of HKLM\HARDWARE\DEVICEMAP\SERIALCOMM, on POSIX ascending port number. Empty
/// when there are none.
std::vector<std::string> ListSerialPorts();
