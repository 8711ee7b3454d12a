#pragma once
// The one place where the program's single-byte Windows-1252 text meets Unicode.
// 0x80..0x9F are not Latin-1 in Windows-1252 (0x80 is the euro sign, ...).

#include <string>
#include <string_view>

/// Windows-1252 bytes to UTF-8. The five bytes Windows-1252 leaves undefined
/// (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 controls of the same number.
std::string Cp1252ToUtf8(std::string_view cp1252);

/// UTF-8 to Windows-1252. Characters without a Windows-1252 byte, and malformed
/// UTF-8 sequences, become '?'.
std::string Utf8ToCp1252(std::string_view utf8);

/// True when `text` is well-formed UTF-8 (no stray, overlong, truncated or surrogate
/// sequences); plain ASCII is.
bool IsWellFormedUtf8(std::string_view text);
