#include "sim/stream_generator.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {
// Fuel constants of heating oil EL (Siegert formula); CO2max is the stoichiometric CO2.
constexpr double kCo2Max = 15.4;
constexpr double kSiegertA2 = 0.68;
constexpr double kSiegertB = 0.007;

// Decimals the analyser sends per quantity, in the order of kStreamParameters.
constexpr std::array<int, kStreamParameterCount> kDecimals = {1, 1, 0, 0, 0, 0, 0,
                                                              1, 1, 2, 1, 2, 1};
}  // namespace

StreamGenerator::StreamGenerator(unsigned seed,
                                 const std::array<char, kStreamParameterCount>& status, bool steady)
    : random_(seed), status_(status), steady_(steady) {}

double StreamGenerator::Drift(double value, double centre, double step, double halfRange) {
    // Raw engine output keeps the sequence identical across standard libraries.
    const double unit = static_cast<double>(random_()) / static_cast<double>(random_.max());
    const double pull = (centre - value) * 0.1;
    return std::clamp(value + pull + (unit * 2 - 1) * step, centre - halfRange, centre + halfRange);
}

CombustionValues StreamGenerator::NextValues() {
    // A steady generator keeps the values of its first cycle.
    if (!steady_ || !started_) {
        o2_ = Drift(o2_, 4.0, 0.05, 0.6);
        co_ = Drift(co_, 12, 1.0, 8);
        no_ = Drift(no_, 48, 1.0, 6);
        no2_ = Drift(no2_, 3, 0.3, 2);
        so2_ = Drift(so2_, 4, 0.5, 3);
        airTemp_ = Drift(airTemp_, 20.5, 0.1, 1.5);
        flueTemp_ = Drift(flueTemp_, 180, 0.8, 8);
        draft_ = Drift(draft_, -0.12, 0.005, 0.04);
        started_ = true;
    }

    CombustionValues v;
    v.o2 = o2_;
    v.co2 = kCo2Max * (1 - o2_ / 21);
    v.co = co_;
    v.no = no_;
    v.no2 = no2_;
    v.nox = no_ + no2_;
    v.so2 = so2_;
    v.airTemp = airTemp_;
    v.flueTemp = flueTemp_;
    v.lambda = 21 / (21 - o2_);
    v.qa = (flueTemp_ - airTemp_) * (kSiegertA2 / (21 - o2_) + kSiegertB);
    v.eta = 100 - v.qa;
    v.draft = draft_;
    return v;
}

std::string StreamGenerator::FormatLine(int parameter, char status, double value) {
    const int index =
        static_cast<int>(std::find(kStreamParameters.begin(), kStreamParameters.end(), parameter) -
                         kStreamParameters.begin());
    const int decimals = index < kStreamParameterCount ? kDecimals[index] : 1;
    // Rounding first avoids "-0.0" for tiny negatives, which a real device never sends.
    const double scale = std::pow(10.0, decimals);
    double rounded = std::round(value * scale) / scale;
    if (rounded == 0) {
        rounded = 0;
    }
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%03d%c %.*f;", parameter, status, decimals, rounded);
    std::string line = buffer;
    // The analyser always sends a decimal point, whatever locale this process runs in.
    std::replace(line.begin() + 5, line.end(), ',', '.');
    return line;
}

std::array<std::string, kStreamParameterCount> StreamGenerator::NextCycle() {
    const CombustionValues v = NextValues();
    const std::array<double, kStreamParameterCount> values = {
        v.o2,      v.co2,      v.co,     v.no,  v.no2,   v.nox, v.so2,
        v.airTemp, v.flueTemp, v.lambda, v.eta, v.draft, v.qa};
    std::array<std::string, kStreamParameterCount> lines;
    for (int i = 0; i < kStreamParameterCount; ++i) {
        lines[i] = FormatLine(kStreamParameters[i], status_[i], values[i]);
    }
    return lines;
}
