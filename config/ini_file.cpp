#include "config/ini_file.h"

#include <cstddef>
#include <initializer_list>
#include <utility>

namespace {

/// Joins pieces by appending: GCC 12 at -O3 warns falsely (-Wrestrict) about
/// `"literal" + std::string(...)`, and warnings are errors here.
std::string Concat(std::initializer_list<std::string_view> pieces) {
    std::string text;
    for (std::string_view piece : pieces) {
        text.append(piece);
    }
    return text;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// The profile functions compare names without regard to case; only ASCII letters matter
// for the names this program uses.
bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) {
            return false;
        }
    }
    return true;
}

/// The section name when `line` is a section header.
std::optional<std::string_view> SectionName(std::string_view line) {
    std::string_view trimmed = Trim(line);
    if (trimmed.empty() || trimmed.front() != '[') {
        return std::nullopt;
    }
    trimmed.remove_prefix(1);
    size_t close = trimmed.find(']');
    return Trim(trimmed.substr(0, close));
}

struct KeyLine {
    std::string_view key;
    std::string_view value;
};

/// Key and value when `line` is a key line (has a '=' after a non-empty key).
std::optional<KeyLine> ParseKeyLine(std::string_view line) {
    size_t equals = line.find('=');
    if (equals == std::string_view::npos) {
        return std::nullopt;
    }
    std::string_view key = Trim(line.substr(0, equals));
    if (key.empty() || key.front() == '[') {
        return std::nullopt;
    }
    return KeyLine{key, Trim(line.substr(equals + 1))};
}

/// [first, end) line indexes of the body of the first section called `section`.
struct SectionRange {
    size_t header;
    size_t end;
};

std::optional<SectionRange> FindSection(const std::vector<IniLine>& lines,
                                        std::string_view section) {
    for (size_t i = 0; i < lines.size(); ++i) {
        std::optional<std::string_view> name = SectionName(lines[i].text);
        if (name && EqualNoCase(*name, section)) {
            size_t end = i + 1;
            while (end < lines.size() && !SectionName(lines[end].text)) {
                ++end;
            }
            return SectionRange{i, end};
        }
    }
    return std::nullopt;
}

}  // namespace

IniFile IniFile::Parse(std::string_view bytes) {
    IniFile file;
    bool endingSeen = false;
    while (!bytes.empty()) {
        const size_t lf = bytes.find('\n');
        IniLine line;
        if (lf == std::string_view::npos) {
            line.text = bytes;
            bytes = {};
        } else {
            const bool crLf = lf > 0 && bytes[lf - 1] == '\r';
            line.text = bytes.substr(0, crLf ? lf - 1 : lf);
            line.ending = crLf ? "\r\n" : "\n";
            bytes.remove_prefix(lf + 1);
            if (!endingSeen) {
                file.newLineEnding_ = line.ending;
                endingSeen = true;
            }
        }
        file.lines_.push_back(std::move(line));
    }
    return file;
}

bool IniFile::HasSection(std::string_view section) const {
    return FindSection(lines_, section).has_value();
}

std::optional<std::string> IniFile::Value(std::string_view section, std::string_view key) const {
    std::optional<SectionRange> range = FindSection(lines_, section);
    if (!range) {
        return std::nullopt;
    }
    for (size_t i = range->header + 1; i < range->end; ++i) {
        std::optional<KeyLine> keyLine = ParseKeyLine(lines_[i].text);
        if (keyLine && EqualNoCase(keyLine->key, key)) {
            return std::string(keyLine->value);
        }
    }
    return std::nullopt;
}

std::string IniFile::ReadString(std::string_view section, std::string_view key,
                                std::string_view defaultValue) const {
    std::optional<std::string> value = Value(section, key);
    return value ? *value : std::string(defaultValue);
}

void IniFile::SetValue(std::string_view section, std::string_view key, std::string_view value) {
    std::optional<SectionRange> range = FindSection(lines_, section);
    if (!range) {
        Insert(lines_.size(), Concat({"[", section, "]"}));
        Insert(lines_.size(), Concat({key, "=", value}));
        return;
    }
    for (size_t i = range->header + 1; i < range->end; ++i) {
        std::optional<KeyLine> keyLine = ParseKeyLine(lines_[i].text);
        if (keyLine && EqualNoCase(keyLine->key, key)) {
            lines_[i].text = Concat({keyLine->key, "=", value});
            return;
        }
    }
    // After the section's last non-blank line, so a blank line separating it from the
    // next section stays where it is.
    size_t insertAt = range->end;
    while (insertAt > range->header + 1 && Trim(lines_[insertAt - 1].text).empty()) {
        --insertAt;
    }
    Insert(insertAt, Concat({key, "=", value}));
}

void IniFile::Insert(size_t index, std::string text) {
    // Only the last line can lack a line end; a line after it needs one between them. A CR
    // it ends with stays its own (a value's), which a LF right after would take for a line end.
    if (index > 0 && lines_[index - 1].ending.empty()) {
        IniLine& last = lines_[index - 1];
        last.ending = !last.text.empty() && last.text.back() == '\r' ? "\r\n" : newLineEnding_;
    }
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(index),
                  IniLine{std::move(text), newLineEnding_});
}

std::string IniFile::Serialize() const {
    size_t size = 0;
    for (const IniLine& line : lines_) {
        size += line.text.size() + line.ending.size();
    }
    std::string bytes;
    bytes.reserve(size);
    for (const IniLine& line : lines_) {
        bytes += line.text;
        bytes += line.ending;
    }
    return bytes;
}
