#include "config/text_form.h"

#include <cstdint>

#include "data/cp1252.h"

namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeMark = "\xFF\xFE";

void AppendUtf8(std::string& out, std::uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

void AppendUtf16Le(std::string& out, std::uint32_t unit) {
    out += static_cast<char>(unit & 0xFF);
    out += static_cast<char>(unit >> 8);
}

bool IsHighSurrogate(std::uint32_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool IsLowSurrogate(std::uint32_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

std::string Utf16LeToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    const auto unitAt = [&bytes](size_t i) {
        return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i])) |
               static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8;
    };
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const std::uint32_t unit = unitAt(i);
        if (IsHighSurrogate(unit) && i + 3 < bytes.size() && IsLowSurrogate(unitAt(i + 2))) {
            AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (unitAt(i + 2) - 0xDC00));
            i += 2;
        } else {
            AppendUtf8(out, unit);  // an unpaired surrogate too: written back as it came
        }
    }
    return out;
}

/// The inverse of Utf16LeToUtf8; a byte that starts no sequence becomes U+FFFD.
std::string Utf8ToUtf16Le(std::string_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
        std::uint32_t code = length == 1   ? lead
                             : length == 2 ? lead & 0x1F
                             : length == 3 ? lead & 0x0F
                                           : lead & 0x07;
        bool wellFormed = (lead < 0x80 || lead >= 0xC2) && lead < 0xF5 && i + length <= text.size();
        for (size_t k = 1; wellFormed && k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            wellFormed = (next & 0xC0) == 0x80;
            code = (code << 6) | (next & 0x3F);
        }
        if (!wellFormed || code > 0x10FFFF) {
            AppendUtf16Le(out, 0xFFFD);
            ++i;
            continue;
        }
        if (code >= 0x10000) {
            AppendUtf16Le(out, 0xD800 + ((code - 0x10000) >> 10));
            AppendUtf16Le(out, 0xDC00 + ((code - 0x10000) & 0x3FF));
        } else {
            AppendUtf16Le(out, code);
        }
        i += length;
    }
    return out;
}

}  // namespace

FileText DecodeFileText(std::string_view bytes) {
    if (bytes.substr(0, kUtf8Mark.size()) == kUtf8Mark) {
        return {TextForm::Utf8WithMark, std::string(bytes.substr(kUtf8Mark.size()))};
    }
    if (bytes.substr(0, kUtf16LeMark.size()) == kUtf16LeMark) {
        return {TextForm::Utf16LeWithMark, Utf16LeToUtf8(bytes.substr(kUtf16LeMark.size()))};
    }
    return {TextForm::Ansi, std::string(bytes)};
}

std::string EncodeFileText(const FileText& text) {
    switch (text.form) {
        case TextForm::Utf8WithMark:
            return std::string(kUtf8Mark) + text.text;
        case TextForm::Utf16LeWithMark:
            return std::string(kUtf16LeMark) + Utf8ToUtf16Le(text.text);
        case TextForm::Ansi:
            break;
    }
    return text.text;
}

std::string TextToCp1252(TextForm form, std::string_view piece) {
    return form == TextForm::Ansi ? std::string(piece) : Utf8ToCp1252(piece);
}

std::string Cp1252ToText(TextForm form, std::string_view cp1252) {
    return form == TextForm::Ansi ? std::string(cp1252) : Cp1252ToUtf8(cp1252);
}
