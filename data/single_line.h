#pragma once
// Text that becomes one line of a file (the transfer file's header, firing type and
// identification lines, the settings file's SerNr): a line break inside it would split the
// line and hand the reader a line that is no key=value pair. What the analyser sends may
// hold any byte: its replies go into the files as printable text only.

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

/// `text` with every control byte (below 0x20, and 0x7F) turned into a blank, line breaks
/// included; 0x80..0xFF stay, they are Windows-1252 letters. For what comes from the
/// analyser: a NUL ends the line for many a program that reads the file as text, and an
/// escape sequence is no part of an identification.
inline std::string PrintableLine(std::string_view text) {
    std::string line(text);
    for (char& c : line) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            c = ' ';
        }
    }
    return line;
}
