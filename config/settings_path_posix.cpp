#include "config/settings_path_posix.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

#include "config/executable_path.h"
#include "config/settings.h"

std::string ChooseSettingsFilePath(const std::string& executableDirectory,
                                   bool executableDirectoryWritable, const char* xdgConfigHome,
                                   const char* home) {
    if (!executableDirectory.empty() && executableDirectoryWritable) {
        return executableDirectory + kSettingsFileName;
    }
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

std::string SettingsFilePath() {
    const std::string directory = ExecutableDirectory();
    const bool writable = !directory.empty() && ::access(directory.c_str(), W_OK) == 0;
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] == '\0') {
        const struct passwd* user = ::getpwuid(::getuid());
        home = user != nullptr ? user->pw_dir : nullptr;
    }
    return ChooseSettingsFilePath(directory, writable, std::getenv("XDG_CONFIG_HOME"), home);
}
