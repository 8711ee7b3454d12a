#include "config/settings_location_posix.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "config/settings.h"
#include "config/settings_location.h"

std::string PerUserSettingsFilePathFor(const char* xdgConfigHome, const char* home) {
    std::string configHome;
    // The XDG base directory rules ignore a relative XDG_CONFIG_HOME.
    if (xdgConfigHome != nullptr && xdgConfigHome[0] == '/') {
        configHome = xdgConfigHome;
    } else if (home != nullptr && home[0] != '\0') {
        configHome = std::string(home) + "/.config";
    } else {
        return {};
    }
    return configHome + "/fumilink/" + kSettingsFileName;
}

std::string PerUserSettingsFilePath() {
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] == '\0') {
        const struct passwd* user = ::getpwuid(::getuid());
        home = user != nullptr ? user->pw_dir : nullptr;
    }
    return PerUserSettingsFilePathFor(std::getenv("XDG_CONFIG_HOME"), home);
}

bool IsSameFolder(const std::string& a, const std::string& b) {
    struct stat first {};
    struct stat second {};
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 &&
           S_ISDIR(first.st_mode) && first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

bool MayWriteFile(const std::string& path) {
    return ::access(path.c_str(), W_OK) == 0;
}

bool MayCreateFileIn(const std::string& folder) {
    return ::access(folder.c_str(), W_OK | X_OK) == 0;
}
