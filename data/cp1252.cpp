#include "data/cp1252.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace {

// Code points of the bytes 0x80..0x9F. The five bytes Windows-1252 leaves
// undefined keep the C1 control of the same number, so that every byte survives
// a round trip through UTF-8.
constexpr std::array<char32_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80..87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88..8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90..97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98..9F
};

constexpr char kReplacement = '?';

char32_t CodePointOf(unsigned char byte) {
    if (byte >= 0x80 && byte <= 0x9F) {
        return kHighControls[byte - 0x80];
    }
    return byte;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        // Every code point of the table lies below U+10000.
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

/// The Windows-1252 byte of a code point, or the replacement character.
char ByteOf(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
        return static_cast<char>(cp);
    }
    for (std::size_t i = 0; i < kHighControls.size(); ++i) {
        if (kHighControls[i] == cp) {
            return static_cast<char>(0x80 + i);
        }
    }
    return kReplacement;
}

bool IsContinuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

}  // namespace

std::string Cp1252ToUtf8(std::string_view cp1252) {
    std::string out;
    out.reserve(cp1252.size());
    for (const char ch : cp1252) {
        AppendUtf8(out, CodePointOf(static_cast<unsigned char>(ch)));
    }
    return out;
}

namespace {

/// One character decoded from UTF-8: its code point when `complete`, and how many bytes
/// it took. A broken sequence takes its longest valid prefix (at least one byte), so the
/// byte that broke it starts the next character.
struct Utf8Character {
    char32_t cp;
    std::size_t taken;
    bool complete;
};

Utf8Character DecodeUtf8Character(std::string_view utf8, std::size_t i) {
    const unsigned char lead = static_cast<unsigned char>(utf8[i]);
    if (lead < 0x80) {
        return {lead, 1, true};
    }
    int length = 0;
    char32_t cp = 0;
    // The second byte's range excludes overlong forms, surrogates and code
    // points above U+10FFFF, so a sequence that passes is well formed.
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        cp = lead & 0x0F;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        cp = lead & 0x07;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    }
    if (length == 0) {
        return {0, 1, false};  // a stray continuation byte or an impossible lead
    }
    std::size_t taken = 1;
    while (taken < static_cast<std::size_t>(length)) {
        if (i + taken >= utf8.size()) {
            return {0, taken, false};
        }
        const unsigned char c = static_cast<unsigned char>(utf8[i + taken]);
        const bool inRange = taken == 1 ? (c >= low && c <= high) : IsContinuation(c);
        if (!inRange) {
            return {0, taken, false};
        }
        cp = (cp << 6) | (c & 0x3F);
        ++taken;
    }
    return {cp, taken, true};
}

}  // namespace

std::string Utf8ToCp1252(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        const Utf8Character character = DecodeUtf8Character(utf8, i);
        out += character.complete ? ByteOf(character.cp) : kReplacement;
        i += character.taken;
    }
    return out;
}

bool IsWellFormedUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const Utf8Character character = DecodeUtf8Character(text, i);
        if (!character.complete) {
            return false;
        }
        i += character.taken;
    }
    return true;
}
