#pragma once
// The text a second copy shows depends on the user's regional setting, identified by a
// Windows locale identifier of eight hexadecimal digits ("00000407" = German).

#include <string>
#include <string_view>

/// The user's locale identifier. Windows: value "Locale" of HKCU\Control Panel\International
/// (empty when the key cannot be opened with full access or the value is missing). POSIX:
/// the first non-empty of LC_ALL, LC_MESSAGES, LANG mapped by LocaleTextFromPosixLocale.
std::string ReadLocaleText();

/// Maps a POSIX locale name by its language_TERRITORY part (before '.' or '@'):
/// de_DE -> "00000407", en_US -> "00000409", it_IT -> "00000410", sv_SE -> "0000041D";
/// anything else -> "".
std::string LocaleTextFromPosixLocale(std::string_view localeName);

/// The first non-empty of the three variables' values (null = unset), mapped as above.
std::string LocaleTextFromEnvironment(const char* lcAll, const char* lcMessages, const char* lang);

/// The "already running" message for a locale text, compared exactly (case-sensitive).
/// Windows-1252 bytes.
std::string AlreadyRunningMessage(std::string_view localeText);

/// The default application title: the executable's file name up to its first '.', every
/// letter after the first in lower case ("FUMILINK.EXE" -> "Fumilink"). Windows-1252.
std::string ApplicationTitle(std::string_view executableFileName);
