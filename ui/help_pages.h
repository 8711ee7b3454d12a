#pragma once
// The help window's fixed page table.

#include <array>
#include <string>
#include <vector>

/// The eight help pages as HTML fragments (UTF-8), index = page number = error code.
/// Page 4 is the Bluetooth pairing guide shown before any error.
const std::array<const char*, 8>& HelpPages();

/// What help page 3 begins with when the system refused to open ports for want of
/// permission (Linux): which ports (`ports`, e.g. "COM5 (/dev/rfcomm0)", UTF-8) and how the
/// user gets access. HTML, as the pages.
std::string PortsWithoutPermissionHtml(const std::vector<std::string>& ports);

/// The Linux step that gives a user access to the serial links (the group dialout or the
/// udev rule), as HTML; the Bluetooth steps for Linux (linux_bluetooth_steps.h) name it too.
const char* LinuxPortAccessHtml();
