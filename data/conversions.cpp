#include "data/conversions.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <limits>
#include <string>
#include <system_error>

// Nothing here may consult the C or C++ locale: no <cctype> classification, no
// printf/iostreams. Characters are classified as unsigned bytes against ASCII
// ranges, and numbers are written with std::to_chars, which ignores the locale.

namespace {

constexpr int kMaxPadWidth = 255;
constexpr std::size_t kMaxFormattedLength = 30;

// Every caller's decimals fit far below this; more decimals than the 17-place
// expansion has only append zeros, and beyond 30 characters they are cut anyway.
constexpr int kMaxDecimals = 64;

// The fixed-point expansion is exact for every double with this many places
// (the smallest subnormal, 2^-1074, has exactly 1074 decimal places).
constexpr int kExactPlaces = 1074;

// Beyond this magnitude the fixed text would be longer than the 30 characters a
// caller can receive; such values are written in scientific notation instead.
constexpr double kScientificFrom = 1e36;
constexpr int kScientificDigits = 15;

/// 10^n by squaring rather than through the C library's powl, whose accuracy differs
/// between platforms: every power up to 10^27 is exact in extended precision, so the
/// common case divides by an exact power and rounds only once.
long double PowerOfTen(long n) {
    long double result = 1.0L;
    long double square = 10.0L;
    while (n > 0) {
        if ((n & 1) != 0) {
            result *= square;
        }
        square *= square;
        n >>= 1;
    }
    return result;
}

bool IsDigit(unsigned char c) {
    return c >= '0' && c <= '9';
}

bool IsHexDigit(unsigned char c) {
    return IsDigit(c) || (c >= 'A' && c <= 'F');
}

std::string PadLeft(std::string text, int width) {
    width = std::min(width, kMaxPadWidth);
    if (width > 0 && static_cast<std::size_t>(width) > text.size()) {
        text.insert(0, static_cast<std::size_t>(width) - text.size(), ' ');
    }
    return text;
}

/// A non-negative decimal number as its digits: value = digits * 10^-fractionDigits.
/// The digit string always has more than fractionDigits characters, so there is
/// at least one integer digit.
struct DecimalDigits {
    std::string digits;
    int fractionDigits = 0;

    int IntegerDigits() const { return static_cast<int>(digits.size()) - fractionDigits; }

    /// Rounds to `places` places after the point (negative: to a power of ten left
    /// of it); a dropped digit of 5 or more raises the kept part, i.e. half away
    /// from zero on the exact digits. Places are never added here.
    void RoundTo(int places) {
        if (places >= fractionDigits) {
            return;
        }
        const int keep = static_cast<int>(digits.size()) - (fractionDigits - places);
        if (keep < 0) {
            // Even the first digit lies below half of the rounding unit.
            digits.assign(static_cast<std::size_t>(1 + std::max(places, 0)), '0');
            Normalize(places);
            return;
        }
        const bool roundUp = digits[static_cast<std::size_t>(keep)] >= '5';
        digits.resize(static_cast<std::size_t>(keep));
        if (roundUp) {
            int i = keep - 1;
            while (i >= 0 && digits[static_cast<std::size_t>(i)] == '9') {
                digits[static_cast<std::size_t>(i)] = '0';
                --i;
            }
            if (i >= 0) {
                ++digits[static_cast<std::size_t>(i)];
            } else {
                digits.insert(digits.begin(), '1');
            }
        }
        if (places < 0) {
            // Rounded at a power of ten left of the point: the dropped integer
            // places become zeros again.
            digits.append(static_cast<std::size_t>(-places), '0');
            fractionDigits = 0;
        } else {
            fractionDigits = places;
        }
        Normalize(fractionDigits);
    }

    /// Appends zeros up to `places` fraction digits.
    void ExtendTo(int places) {
        if (places > fractionDigits) {
            digits.append(static_cast<std::size_t>(places - fractionDigits), '0');
            fractionDigits = places;
        }
    }

    /// Keeps at least one integer digit and drops redundant leading zeros.
    void Normalize(int places) {
        fractionDigits = std::max(places, 0);
        if (static_cast<int>(digits.size()) <= fractionDigits) {
            digits.insert(0, static_cast<std::size_t>(fractionDigits + 1) - digits.size(), '0');
        }
        std::size_t leadingZeros = 0;
        while (static_cast<int>(digits.size() - leadingZeros) > fractionDigits + 1 &&
               digits[leadingZeros] == '0') {
            ++leadingZeros;
        }
        digits.erase(0, leadingZeros);
    }
};

/// The exact decimal expansion of a finite, non-negative double.
DecimalDigits ExactDigits(double magnitude) {
    // A double's expansion ends at its lowest mantissa bit, 2^(exponent - 53):
    // asking for more places would only produce zeros.
    int exponent = 0;
    std::frexp(magnitude, &exponent);
    const int places = std::clamp(53 - exponent, 0, kExactPlaces);
    // 309 integer digits, the point and 1074 places at most.
    std::array<char, 1500> buffer;
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), magnitude,
                                      std::chars_format::fixed, places);
    DecimalDigits decimal;
    if (result.ec != std::errc()) {
        decimal.digits.push_back('0');  // cannot happen: the buffer holds any double
        return decimal;
    }
    std::string text(buffer.data(), result.ptr);
    const std::size_t point = text.find('.');
    if (point != std::string::npos) {
        decimal.fractionDigits = static_cast<int>(text.size() - point - 1);
        text.erase(point, 1);
    }
    decimal.digits = std::move(text);
    // Most expansions end in zeros before their last requested place (0.25 asks
    // for 54 places); they carry no information and only cost time below.
    while (decimal.fractionDigits > 0 && decimal.digits.back() == '0') {
        decimal.digits.pop_back();
        --decimal.fractionDigits;
    }
    decimal.Normalize(decimal.fractionDigits);
    return decimal;
}

/// The number of places after the point that the 17-place expansion keeps:
/// a magnitude of 16 or more is first divided by ten until it is below 16, and
/// the 17 places count after that scaled point.
int ExpansionPlaces(const DecimalDigits& exact) {
    const int integerDigits = exact.IntegerDigits();
    const bool atLeast16 =
        integerDigits > 2 || (integerDigits == 2 && exact.digits.compare(0, 2, "16") >= 0);
    if (!atLeast16) {
        return 17;
    }
    // Scaled below 16: two integer digits remain when they read 10..15, else one.
    const bool twoDigitsRemain = exact.digits.compare(0, 2, "16") < 0;
    const int scale = integerDigits - (twoDigitsRemain ? 2 : 1);
    return 17 - scale;
}

std::string FixedText(int decimals, double magnitude) {
    DecimalDigits decimal = ExactDigits(magnitude);
    decimal.RoundTo(ExpansionPlaces(decimal));
    decimal.RoundTo(decimals);
    decimal.ExtendTo(decimals);
    std::string text = decimal.digits;
    if (decimals > 0) {
        text.insert(static_cast<std::size_t>(decimal.IntegerDigits()), 1, '.');
    }
    return text;
}

std::string ScientificText(double magnitude) {
    std::array<char, 64> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), magnitude,
                                      std::chars_format::scientific, kScientificDigits - 1);
    if (result.ec != std::errc()) {
        return "INF";
    }
    // to_chars writes d.dddde+XX; the program's texts use upper-case E.
    std::string text(buffer.data(), result.ptr);
    const std::size_t e = text.find('e');
    if (e != std::string::npos) {
        text[e] = 'E';
    }
    return text;
}

}  // namespace

char CharAtOrSpace(std::string_view text, int position) {
    if (position < 1 || static_cast<std::size_t>(position) > text.size()) {
        return ' ';
    }
    return text[static_cast<std::size_t>(position) - 1];
}

std::string IntToStrPad(int32_t value, int width) {
    // The magnitude of INT32_MIN does not fit into int32_t.
    const int64_t wide = value;
    const uint64_t magnitude = static_cast<uint64_t>(wide < 0 ? -wide : wide);
    std::array<char, 24> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), magnitude);
    std::string text(buffer.data(), result.ptr);
    if (value < 0) {
        text.insert(text.begin(), '-');
    }
    return PadLeft(std::move(text), width);
}

std::string FormatFixed(int width, int decimals, double value) {
    decimals = std::clamp(decimals, 0, kMaxDecimals);
    const double magnitude = std::fabs(value);
    // Built by appending only: GCC 12 warns falsely (-Wrestrict) when a string
    // literal is assigned here after inlining.
    std::string text;
    if (std::isnan(value)) {
        text.append("NAN");
    } else {
        if (std::signbit(value)) {
            text.push_back('-');
        }
        if (std::isinf(value)) {
            text.append("INF");
        } else if (magnitude >= kScientificFrom) {
            text += ScientificText(magnitude);
        } else {
            text += FixedText(decimals, magnitude);
        }
    }
    text = PadLeft(std::move(text), width);
    if (text.size() > kMaxFormattedLength) {
        text.resize(kMaxFormattedLength);
    }
    const std::size_t point = text.find('.');
    if (point != std::string::npos) {
        text[point] = ',';
    }
    return text;
}

int32_t ParseIntLoose(std::string_view text) {
    const std::size_t dollar = text.find('$');
    if (dollar != std::string_view::npos) {
        const std::string upper = UpperGerman(text.substr(dollar + 1));
        std::size_t i = 0;
        while (i < upper.size() && upper[i] == '0') {
            ++i;
        }
        const std::size_t firstSignificant = i;
        uint32_t pattern = 0;
        for (; i < upper.size() && IsHexDigit(static_cast<unsigned char>(upper[i])); ++i) {
            if (i - firstSignificant >= 8) {
                return 0;  // more than eight significant digits
            }
            const unsigned char c = static_cast<unsigned char>(upper[i]);
            const uint32_t digit = IsDigit(c) ? c - '0' : c - 'A' + 10;
            pattern = (pattern << 4) | digit;
        }
        // No digit at all leaves the pattern 0, which is the result for nothing read.
        return static_cast<int32_t>(pattern);
    }

    std::size_t start = 0;
    while (start < text.size()) {
        const unsigned char c = static_cast<unsigned char>(text[start]);
        if (IsDigit(c) || c == '-') {
            break;
        }
        ++start;
    }
    if (start == text.size()) {
        return 0;
    }
    const bool negative = text[start] == '-';
    std::size_t i = negative ? start + 1 : start;
    if (i == text.size() || !IsDigit(static_cast<unsigned char>(text[i]))) {
        return 0;  // a lone '-'
    }
    // Accumulate the magnitude in 64 bits and stop as soon as it leaves the
    // 32-bit range, so that any number of digits cannot overflow.
    constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
    int64_t magnitude = 0;
    for (; i < text.size() && IsDigit(static_cast<unsigned char>(text[i])); ++i) {
        magnitude = magnitude * 10 + (text[i] - '0');
        if (magnitude > kLimit) {
            return 0;
        }
    }
    if (negative) {
        return static_cast<int32_t>(-magnitude);
    }
    return magnitude == kLimit ? 0 : static_cast<int32_t>(magnitude);
}

double ParseFloatLoose(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (IsDigit(c) || c == '-' || c == ',' || c == '.') {
            break;
        }
        ++i;
    }
    if (i == text.size()) {
        return 0.0;
    }
    const bool negative = text[i] == '-';
    if (negative) {
        ++i;
    }

    // Only the first significant digits reach the mantissa; further integer
    // digits only scale it and further fraction digits are dropped. That keeps
    // a text of thousands of digits from overflowing the accumulator while
    // using far more digits than a double can hold.
    constexpr int kMantissaDigits = 40;
    long double mantissa = 0.0L;
    int significant = 0;
    long exponent = 0;
    bool seenDigit = false;
    bool seenSeparator = false;
    for (; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == ',' || c == '.') {
            if (seenSeparator) {
                return 0.0;  // a second separator: 1.234,5 and 1,2,3 are unreadable
            }
            seenSeparator = true;
            continue;
        }
        if (!IsDigit(c)) {
            break;
        }
        seenDigit = true;
        const int digit = c - '0';
        if (significant < kMantissaDigits) {
            mantissa = mantissa * 10.0L + static_cast<long double>(digit);
            if (significant > 0 || digit != 0) {
                ++significant;
            }
            if (seenSeparator) {
                --exponent;
            }
        } else if (!seenSeparator) {
            ++exponent;
        }
    }
    if (!seenDigit) {
        return 0.0;  // a lone '-' or a lone separator
    }

    long double result = mantissa;
    if (exponent != 0 && mantissa != 0.0L) {
        const long double power = PowerOfTen(std::labs(exponent));
        result = exponent < 0 ? mantissa / power : mantissa * power;
    }
    if (!std::isfinite(result) ||
        result > static_cast<long double>(std::numeric_limits<double>::max())) {
        return 0.0;
    }
    const double value = static_cast<double>(result);
    return negative ? -value : value;
}

std::string UpperGerman(std::string_view text) {
    std::string upper(text);
    for (char& ch : upper) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c >= 'a' && c <= 'z') {
            ch = static_cast<char>(c - 'a' + 'A');
        } else if (c == 0xE4) {  // ä
            ch = static_cast<char>(0xC4);
        } else if (c == 0xF6) {  // ö
            ch = static_cast<char>(0xD6);
        } else if (c == 0xFC) {  // ü
            ch = static_cast<char>(0xDC);
        }
    }
    return upper;
}
