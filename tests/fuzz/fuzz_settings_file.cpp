// Feeds arbitrary bytes to the settings file's reading as the file's bytes and checks what
// must hold for any file: it is written back byte for byte when nothing is set, and after a
// value is set, the written file read again gives that value and every other entry as
// before. Bytes after three NULs (which a UTF-16 file of text has nowhere) choose,
// NUL-separated, the section, key and value set and the section and key of the other entry
// looked at (the program's own names when missing).

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "config/ini_file.h"
#include "config/text_form.h"
#include "data/cp1252.h"

namespace {

void Check(bool condition, int line = __builtin_LINE()) {
    if (!condition) {
        std::fprintf(stderr, "check failed at line %d\n", line);
        std::abort();
    }
}

/// The file's bytes, then the names.
std::vector<std::string_view> Split(std::string_view text) {
    std::vector<std::string_view> parts;
    const std::size_t end = text.find(std::string_view("\0\0\0", 3));
    parts.push_back(text.substr(0, end));
    if (end == std::string_view::npos) {
        return parts;
    }
    text.remove_prefix(end + 3);
    for (;;) {
        const std::size_t nul = text.find('\0');
        parts.push_back(text.substr(0, nul));
        if (nul == std::string_view::npos) {
            return parts;
        }
        text.remove_prefix(nul + 1);
    }
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    return text;
}

/// `wanted` without the bytes a name cannot hold (line ends, and `forbidden`), trimmed;
/// `fallback` when nothing is left.
std::string Name(const std::vector<std::string_view>& parts, std::size_t index,
                 std::string_view forbidden, std::string_view fallback) {
    std::string name;
    if (index < parts.size()) {
        for (const char c : parts[index]) {
            if (c != '\r' && c != '\n' && forbidden.find(c) == std::string_view::npos) {
                name += c;
            }
        }
    }
    const std::string_view trimmed = Trim(name);
    return std::string(trimmed.empty() ? fallback : trimmed);
}

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) {
            return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::vector<std::string_view> parts =
        Split(std::string_view(reinterpret_cast<const char*>(data), size));
    const std::string_view bytes = parts[0];

    const FileText decoded = DecodeFileText(bytes);
    // Written back in the form it came in; only a UTF-16 file's odd last byte is lost.
    const bool oddUtf16 = decoded.form == TextForm::Utf16LeWithMark && bytes.size() % 2 == 1;
    Check(EncodeFileText(decoded) == bytes.substr(0, bytes.size() - (oddUtf16 ? 1 : 0)));

    const IniFile file = IniFile::Parse(decoded.text);
    Check(file.Serialize() == decoded.text);

    // The names and the value as the program has them, Windows-1252; a key cannot start a
    // section, and the value is one line, as the program writes it.
    const std::string section = Name(parts, 1, "]", "Main");
    std::string key = Name(parts, 2, "=", "SerNr");
    if (key[0] == '[') {
        key = "SerNr";
    }
    const std::string value = parts.size() > 3 ? Name(parts, 3, "", "") : "ZOR GX40";
    const std::string otherSection = Name(parts, 4, "]", "Main");
    const std::string otherKey = Name(parts, 5, "=", "comport");

    const TextForm form = decoded.form;
    const std::optional<std::string> otherBefore =
        file.Value(Cp1252ToText(form, otherSection), Cp1252ToText(form, otherKey));

    IniFile changed = file;
    changed.SetValue(Cp1252ToText(form, section), Cp1252ToText(form, key),
                     Cp1252ToText(form, value));
    const std::string written = EncodeFileText({form, changed.Serialize()});

    const FileText reread = DecodeFileText(written);
    Check(reread.form == form);
    const IniFile again = IniFile::Parse(reread.text);
    const std::optional<std::string> set =
        again.Value(Cp1252ToText(form, section), Cp1252ToText(form, key));
    Check(set && TextToCp1252(form, *set) == value);
    if (!SameName(section, otherSection) || !SameName(key, otherKey)) {
        Check(again.Value(Cp1252ToText(form, otherSection), Cp1252ToText(form, otherKey)) ==
              otherBefore);
    }
    return 0;
}
