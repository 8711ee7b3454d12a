#pragma once
// Plausible measurement values of an oil boiler in steady operation, drifting slowly,
// formatted as the analyser's data lines. The derived quantities (CO2, lambda, qA, eta)
// are computed from O2 and the temperatures, so a cycle is always self-consistent.

#include <array>
#include <cstdint>
#include <random>
#include <string>

#include "sim/sim_options.h"

/// One cycle's values, in the order of kStreamParameters.
struct CombustionValues {
    double o2 = 0, co2 = 0, co = 0, no = 0, no2 = 0, nox = 0, so2 = 0;
    double airTemp = 0, flueTemp = 0, lambda = 0, eta = 0, draft = 0, qa = 0;
};

/// Produces the data lines of successive stream cycles.
class StreamGenerator {
public:
    /// `status` holds one status character per entry of kStreamParameters. A `steady`
    /// generator does not drift: every cycle has the values of the first.
    StreamGenerator(unsigned seed, const std::array<char, kStreamParameterCount>& status,
                    bool steady = false);

    /// Advances the drift by one cycle (unless steady) and returns the new values.
    CombustionValues NextValues();

    /// Formats one data line without its CR, e.g. "051G 4.1;" or "080G -0.12;".
    static std::string FormatLine(int parameter, char status, double value);

    /// Advances by one cycle and returns its thirteen lines, each without CR.
    std::array<std::string, kStreamParameterCount> NextCycle();

private:
    // A bounded random walk: a small step, pulled back towards the centre.
    double Drift(double value, double centre, double step, double halfRange);

    std::mt19937 random_;
    std::array<char, kStreamParameterCount> status_;
    bool steady_;
    bool started_ = false;
    double o2_ = 4.0, co_ = 12, no_ = 48, no2_ = 3, so2_ = 4;
    double airTemp_ = 20.5, flueTemp_ = 180, draft_ = -0.12;
};
