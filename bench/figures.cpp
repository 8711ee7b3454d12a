#include "bench/figures.h"

#include <cstdio>

void Figure(const std::string& name, double value, const std::string& unit, int decimals) {
    std::printf("%s = %.*f %s\n", name.c_str(), decimals, value, unit.c_str());
    std::fflush(stdout);
}

void Count(const std::string& name, unsigned long long value, const std::string& unit) {
    std::printf("%s = %llu %s\n", name.c_str(), value, unit.c_str());
    std::fflush(stdout);
}

void Note(const std::string& name, const std::string& text) {
    std::printf("%s = %s\n", name.c_str(), text.c_str());
    std::fflush(stdout);
}
