#pragma once
// The POSIX device-family table on its own, with the place it looks for UARTs as a
// parameter, so it can be read against a stand-in sysfs.

#include <cstdint>
#include <string>

/// The device COM `port` stands for when no port folder is set: each device family owns a
/// fixed range of numbers (serial/README.md). A ttyS slot counts only where
/// `sysfsRoot`/class/tty/ttyS<k>/type is not 0 (a UART is there). Empty for a number no
/// family owns and for an empty UART slot. DevicePathOfPort passes "/sys".
std::string FamilyDevicePath(uint8_t port, const std::string& sysfsRoot);
