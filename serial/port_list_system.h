#pragma once
// The system's own serial ports, one twin per platform (port_list_posix.cpp,
// port_list_win32.cpp): what port_list.h reports while no demo ports are in use.

#include <string>
#include <vector>

std::vector<std::string> SystemSerialPorts();
bool SystemIsBluetoothLink(int port);
bool SystemOutQueueShowsLinkUp(int port);
