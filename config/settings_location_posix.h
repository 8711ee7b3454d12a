#pragma once
// The user's own settings file on Linux, where the XDG base directory rules put it.

#include <string>

/// `xdgConfigHome`/fumilink/fumilink.ini, where an unset, empty or relative XDG_CONFIG_HOME
/// means `home`/.config. Empty when neither is known.
std::string PerUserSettingsFilePathFor(const char* xdgConfigHome, const char* home);
