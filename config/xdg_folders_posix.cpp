#include "config/xdg_folders_posix.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

std::string XdgFolderFor(const char* variableValue, const char* home, const char* homeRelative) {
    // The rules ignore a relative path.
    if (variableValue != nullptr && variableValue[0] == '/') {
        return variableValue;
    }
    if (home != nullptr && home[0] != '\0') {
        return std::string(home) + "/" + homeRelative;
    }
    return {};
}

std::string XdgFolder(const char* variableName, const char* homeRelative) {
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] == '\0') {
        const struct passwd* user = ::getpwuid(::getuid());
        home = user != nullptr ? user->pw_dir : nullptr;
    }
    return XdgFolderFor(std::getenv(variableName), home, homeRelative);
}
