#pragma once
// Text that becomes one line of a file (the transfer file's header, firing type and
// identification lines, the settings file's SerNr): a line break inside it would split the
// line and hand the reader a line that is no key=value pair.

#include <string>
#include <string_view>

/// `text` with every CR and LF turned into a blank, every other byte as it is.
inline std::string SingleLine(std::string_view text) {
    std::string line(text);
    for (char& c : line) {
        if (c == '\r' || c == '\n') {
            c = ' ';
        }
    }
    return line;
}
