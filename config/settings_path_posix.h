#pragma once
// Where the settings file lives on Linux. A program unpacked into a folder of its own keeps
// it beside the executable, as on Windows; an installed one (/usr/bin is not the user's to
// write) keeps it in the user's configuration folder.

#include <string>

/// The settings file for a program in `executableDirectory` (with trailing '/', empty when
/// unknown): executableDirectory + "fumilink.ini" when `executableDirectoryWritable`,
/// otherwise `xdgConfigHome`/fumilink/fumilink.ini, where an unset, empty or relative
/// XDG_CONFIG_HOME means `home`/.config. Empty when neither place is known.
std::string ChooseSettingsFilePath(const std::string& executableDirectory,
                                   bool executableDirectoryWritable, const char* xdgConfigHome,
                                   const char* home);
