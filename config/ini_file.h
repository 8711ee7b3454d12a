#pragma once
// An INI document that reads like the Windows profile functions and changes only the lines
// it has to. Qt's QSettings would split values at commas and escape characters its own
// way, which an installed settings file does not expect; so values are kept verbatim.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

/// One line of an INI file.
struct IniLine {
    std::string text;    ///< without its line end
    std::string ending;  ///< "\r\n", "\n", or empty for a last line without one
};

/// Lines of an INI file, bytes as they are (Windows-1252 for our files), each with its own
/// line end, so that a file written back differs only in the lines that were set.
/// Sections "[name]" and keys "name=value" are matched ignoring ASCII case; blanks and tabs
/// around section names, keys and values are trimmed; the value is everything after the
/// first '=' (commas, quotes and backslashes included). The first matching section and
/// the first matching key in it win. Lines before the first section, comments, blank lines
/// and anything else unrecognised are kept but never matched.
class IniFile {
public:
    /// Parses file bytes; lines end with LF or CR LF (a last line without one counts).
    static IniFile Parse(std::string_view bytes);

    /// True when a section of that name exists (even an empty one).
    bool HasSection(std::string_view section) const;

    /// The trimmed value of `key` in `section`, or nothing when either is missing.
    std::optional<std::string> Value(std::string_view section, std::string_view key) const;

    /// Value() or `defaultValue` when missing.
    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view defaultValue) const;

    /// Sets `key` in `section` to `value`: an existing key line is replaced in place (its
    /// key spelling and line end kept), a missing key is added after the last non-blank
    /// line of the section, a missing section is added at the end with the key. Added lines
    /// end with the document's first line end (CR LF when it has none at all); a last line
    /// without one gets one before a line is added after it.
    void SetValue(std::string_view section, std::string_view key, std::string_view value);

    /// The document: every line with the line end it was parsed with.
    std::string Serialize() const;

private:
    void Insert(size_t index, std::string text);

    std::vector<IniLine> lines_;
    std::string newLineEnding_ = "\r\n";
};
