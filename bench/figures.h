#pragma once
// Figures printed as "name = value unit" lines.

#include <string>

/// Prints "name = value unit" with `decimals` decimals.
void Figure(const std::string& name, double value, const std::string& unit, int decimals = 3);
/// Prints "name = value unit" for a count.
void Count(const std::string& name, unsigned long long value, const std::string& unit);
/// Prints "name = text".
void Note(const std::string& name, const std::string& text);
