#include "ui/decimal_entry.h"

#include <charconv>
#include <string>

DecimalEntry ReadDecimalEntry(std::string_view text, double minimum, double maximum, int decimals) {
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return {EntryState::Incomplete};
    }
    text = text.substr(first, text.find_last_not_of(' ') + 1 - first);

    // from_chars reads a point whatever the process locale says.
    std::string number;
    bool separatorSeen = false;
    int digits = 0;
    int fractionDigits = 0;
    for (char c : text) {
        if (c >= '0' && c <= '9') {
            ++digits;
            if (separatorSeen && ++fractionDigits > decimals) {
                return {EntryState::Invalid};
            }
            number.push_back(c);
        } else if ((c == ',' || c == '.') && !separatorSeen) {
            separatorSeen = true;
            number.push_back('.');
        } else {
            return {EntryState::Invalid};
        }
    }
    if (digits == 0) {
        return {EntryState::Incomplete};
    }
    double value = 0.0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (error == std::errc::result_out_of_range) {
        // Only digits and one separator got here, so the number is too large for a double,
        // which makes it larger than any maximum.
        return {EntryState::OutOfRange, maximum};
    }
    if (error != std::errc() || end != number.data() + number.size()) {
        return {EntryState::Invalid};
    }
    if (value > maximum) {
        return {EntryState::OutOfRange, maximum};
    }
    if (value < minimum) {
        return {EntryState::OutOfRange, minimum};
    }
    return {EntryState::Complete, value};
}
