#pragma once
// Which device a COM port number opens. port_paths_posix.cpp and port_paths_win32.cpp
// implement it; serial/README.md gives the POSIX numbering.

#include <cstdint>
#include <string>

/// The device path COM `port` opens; empty if the number has no device on this system.
/// Windows: "\\.\COM<n>" for 1..99. POSIX: $FUMILINK_PORT_DIR/COM<n> when that variable
/// is set (no ports at all when it names no folder), else the device-family table.
std::string DevicePathOfPort(uint8_t port);
