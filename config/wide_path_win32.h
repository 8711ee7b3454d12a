#pragma once
// Paths on Windows travel through the program as UTF-8 in std::string and meet the system
// only here, at the wide (UTF-16) functions: the ANSI functions would replace every letter
// the code page lacks by a look-alike and so name another file.

#include <guiddef.h>

#include <string>
#include <string_view>

/// UTF-8 to UTF-16; a malformed sequence becomes U+FFFD.
std::wstring Utf8ToUtf16(std::string_view utf8);

/// UTF-16 to UTF-8; a lone surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::wstring_view utf16);

/// `path` (UTF-8) as the wide file functions take it. A path whose full form is longer than
/// the ordinary form allows (MAX_PATH) becomes "\\?\C:\..." or "\\?\UNC\server\share\...",
/// so that files deep in a profile can be written without the system's long-path setting.
/// Relative paths are taken from the current folder, as the system takes them.
std::wstring WidePath(const std::string& path);

/// A path the system gave back, in the program's form: UTF-8, and "C:\..." or
/// "\\server\share\..." where the system wrote "\\?\C:\..." or "\\?\UNC\server\share\...".
std::string PathFromSystem(std::wstring_view path);

/// The known folder `folder` (FOLDERID_LocalAppData, ...) in the program's form, without
/// a trailing separator; empty when the system has none. Never an environment variable: a
/// Windows program may find Unix ones in its environment under Wine, and the folders can
/// be redirected.
std::string KnownFolderPath(REFGUID folder);
