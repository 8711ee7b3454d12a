#pragma once
// Bytes as one line of a log: in double quotes, printable ASCII as it is, '"' and '\' with a
// backslash, every other byte as \xNN. What the analyser sent (control bytes, Windows-1252
// letters, noise) stays visible and the log line stays one line; UnquoteBytes reads it back.

#include <optional>
#include <string>
#include <string_view>

/// `bytes` quoted: "ZOR GX40", "OK\x0D", "\xFE\xFF".
std::string QuoteBytes(std::string_view bytes);

/// The bytes of a quoted text at the start of `text` (what QuoteBytes wrote), and in `rest`
/// what follows its closing quote; nothing when `text` does not start with such a text.
std::optional<std::string> UnquoteBytes(std::string_view text, std::string_view* rest = nullptr);
