#pragma once
// The forms an editor saves a text file in. Administrators edit fumilink.ini with Notepad,
// which saves it in the ANSI code page, as UTF-8 with a byte-order mark, or as "Unicode"
// (UTF-16 LE with the mark FF FE), which Windows' profile functions read too. The settings
// file is read in any of them and written back in the form it came in.

#include <string>
#include <string_view>

enum class TextForm {
    Ansi,             ///< single bytes (Windows-1252), no mark; also anything unrecognised
    Utf8WithMark,     ///< EF BB BF, then UTF-8
    Utf16LeWithMark,  ///< FF FE, then UTF-16 little-endian
};

/// A file's text in the form it came in.
struct FileText {
    TextForm form = TextForm::Ansi;
    /// Ansi: the file's bytes as they are. The Unicode forms: the text after the mark, in
    /// UTF-8 (an unpaired UTF-16 surrogate kept as its three-byte sequence, so that a line
    /// nobody changes is written back as it was).
    std::string text;
};

/// Recognises the form by the mark at the start. A UTF-16 file with an odd number of
/// bytes loses the last one, as it does for the profile functions.
FileText DecodeFileText(std::string_view bytes);

/// The file's bytes: the mark and the text in the form.
std::string EncodeFileText(const FileText& text);

/// A piece of the text (a value) as Windows-1252 bytes, which the program works with:
/// unchanged for Ansi; for the Unicode forms a character without a Windows-1252 byte
/// becomes '?', as the profile functions' ANSI versions give it.
std::string TextToCp1252(TextForm form, std::string_view piece);

/// Windows-1252 bytes as a piece of a text in `form`.
std::string Cp1252ToText(TextForm form, std::string_view cp1252);
