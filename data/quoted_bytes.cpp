#include "data/quoted_bytes.h"

#include <cstdio>

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

}  // namespace

std::string QuoteBytes(std::string_view bytes) {
    std::string quoted = "\"";
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += c;
        } else if (u >= 0x20 && u < 0x7F) {
            quoted += c;
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", u);
            quoted += hex;
        }
    }
    return quoted + "\"";
}

std::optional<std::string> UnquoteBytes(std::string_view text, std::string_view* rest) {
    if (text.empty() || text[0] != '"') {
        return std::nullopt;
    }
    std::string bytes;
    for (size_t i = 1; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"') {
            if (rest != nullptr) {
                *rest = text.substr(i + 1);
            }
            return bytes;
        }
        if (c != '\\') {
            bytes += c;
            continue;
        }
        if (i + 1 >= text.size()) {
            return std::nullopt;
        }
        const char next = text[++i];
        if (next == '"' || next == '\\') {
            bytes += next;
        } else if (next == 'x' && i + 2 < text.size() && HexDigit(text[i + 1]) >= 0 &&
                   HexDigit(text[i + 2]) >= 0) {
            bytes += static_cast<char>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2]));
            i += 2;
        } else {
            return std::nullopt;
        }
    }
    return std::nullopt;  // no closing quote
}
