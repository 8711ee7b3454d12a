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
    if (error != std::errc() || end != number.data() + number.size() || value > maximum) {
        return {EntryState::Invalid};
    }
    if (value < minimum) {
        return {EntryState::Incomplete, value};
    }
    return {EntryState::Complete, value};
}
