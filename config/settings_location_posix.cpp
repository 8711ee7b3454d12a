#include "config/settings_location_posix.h"

#include <sys/stat.h>
#include <unistd.h>

#include "config/settings.h"
#include "config/settings_location.h"
#include "config/xdg_folders_posix.h"

namespace {

std::string SettingsFileIn(const std::string& configHome) {
    return configHome.empty() ? std::string() : configHome + "/fumilink/" + kSettingsFileName;
}

}  // namespace

std::string PerUserSettingsFilePathFor(const char* xdgConfigHome, const char* home) {
    return SettingsFileIn(XdgFolderFor(xdgConfigHome, home, ".config"));
}

std::string PerUserSettingsFilePath() {
    return SettingsFileIn(XdgFolder("XDG_CONFIG_HOME", ".config"));
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
