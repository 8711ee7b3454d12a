#pragma once
// The help window's fixed page table.

#include <array>

/// The eight help pages as HTML fragments (UTF-8), index = page number = error code.
/// Page 4 is the Bluetooth pairing guide shown before any error.
const std::array<const char*, 8>& HelpPages();
