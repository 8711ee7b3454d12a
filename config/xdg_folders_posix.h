#pragma once
// The user's folders of the XDG base directory rules (settings, state such as logs): each
// named by a variable, with a place under the home folder where the variable is unset,
// empty or relative.

#include <string>

/// `variableValue` when it is an absolute path, otherwise `home`/`homeRelative`. Empty when
/// neither is known.
std::string XdgFolderFor(const char* variableValue, const char* home, const char* homeRelative);

/// The folder that the environment variable `variableName` names, with the user's home
/// folder from HOME or, without it, from the user database.
std::string XdgFolder(const char* variableName, const char* homeRelative);
