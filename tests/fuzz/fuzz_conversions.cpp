// Feeds arbitrary bytes to every text/number conversion and checks the
// properties that hold for any input. The first bytes choose the numeric
// arguments of FormatFixed and IntToStrPad; the whole input is also the text.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "data/conversions.h"
#include "data/cp1252.h"

namespace {

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

template <typename T>
T Take(std::string_view& input) {
    T value{};
    const std::size_t n = input.size() < sizeof(T) ? input.size() : sizeof(T);
    std::memcpy(&value, input.data(), n);
    input.remove_prefix(n);
    return value;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

void CheckFormatFixed(int width, int decimals, double value) {
    const std::string text = FormatFixed(width, decimals, value);
    Check(text.size() <= 30);
    Check(!text.empty());
    Check(text.find('.') == std::string::npos);
    if (std::isfinite(value) && std::fabs(value) < 1e15 && decimals >= 0 && decimals <= 10 &&
        width <= 0) {
        // Short enough never to be cut: the text reads back as the value
        // rounded to the decimals, after its first rounding to 17 places (for
        // magnitudes below 16 that one moves it by up to half of 10^-17, which
        // can tip a value just below a half of the last decimal over it).
        const std::size_t comma = text.find(',');
        Check((decimals == 0) == (comma == std::string::npos));
        if (comma != std::string::npos) {
            Check(text.size() - comma - 1 == static_cast<std::size_t>(decimals));
        }
        Check(std::signbit(value) == (text[0] == '-'));
        const double back = ParseFloatLoose(text);
        Check(std::fabs(back - value) <=
              0.5 * std::pow(10.0, -decimals) * (1 + 1e-9) + 0.5e-17 + std::fabs(value) * 1e-15);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);

    std::string_view numbers = input;
    const double value = Take<double>(numbers);
    const int decimals = Take<int8_t>(numbers);
    const int width = Take<int16_t>(numbers);
    CheckFormatFixed(width, decimals, value);
    CheckFormatFixed(0, decimals & 3, value);

    const int32_t integer = Take<int32_t>(numbers);
    const std::string intText = IntToStrPad(integer, width);
    Check(intText.size() >= (width > 255 ? 255u : static_cast<std::size_t>(width < 0 ? 0 : width)));
    Check(ParseIntLoose(intText) == integer);

    // Parsers: no crash, no undefined behaviour, and the documented shapes.
    const int32_t parsedInt = ParseIntLoose(input);
    if (input.find('$') == std::string_view::npos) {
        // Decimal mode takes its digits from the input as they stand.
        // (Leading zeros may stand between the sign and the digits.)
        std::string digits = IntToStrPad(parsedInt, 0);
        if (parsedInt < 0) {
            digits.erase(0, 1);
            Check(input.find('-') != std::string_view::npos);
        }
        Check(parsedInt == 0 || input.find(digits) != std::string_view::npos);
    }
    const double parsedFloat = ParseFloatLoose(input);
    Check(std::isfinite(parsedFloat));
    bool hasDigit = false;
    for (const char c : input) {
        hasDigit = hasDigit || IsDigit(c);
    }
    Check(hasDigit || parsedFloat == 0.0);

    const std::string upper = UpperGerman(input);
    Check(upper.size() == input.size());
    Check(UpperGerman(upper) == upper);
    for (std::size_t i = 0; i < input.size(); ++i) {
        if (upper[i] != input[i]) {
            const unsigned char c = static_cast<unsigned char>(input[i]);
            Check((c >= 'a' && c <= 'z') || c == 0xE4 || c == 0xF6 || c == 0xFC);
        }
    }

    const int position = static_cast<int>(Take<int16_t>(numbers));
    const char at = CharAtOrSpace(input, position);
    if (position >= 1 && static_cast<std::size_t>(position) <= input.size()) {
        Check(at == input[static_cast<std::size_t>(position) - 1]);
    } else {
        Check(at == ' ');
    }

    const std::string utf8 = Cp1252ToUtf8(input);
    Check(Utf8ToCp1252(utf8) == input);
    // Arbitrary bytes as UTF-8: never longer than the input, and what comes back
    // is itself convertible without loss.
    const std::string fromUtf8 = Utf8ToCp1252(input);
    Check(fromUtf8.size() <= input.size());
    Check(Utf8ToCp1252(Cp1252ToUtf8(fromUtf8)) == fromUtf8);
    return 0;
}
