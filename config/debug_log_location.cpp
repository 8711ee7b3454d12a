#include "config/debug_log_location.h"

#include "config/path_parts.h"
#include "config/settings_location.h"

std::string ChooseDebugLogPath(const std::string& currentFolder,
                               const std::string& perUserSettingsPath) {
    const std::string here = currentFolder + kDebugLogFileName;
    if (perUserSettingsPath.empty() || MayCreateFileIn(currentFolder) || MayWriteFile(here)) {
        return here;
    }
    return DirectoryPart(perUserSettingsPath, PathSeparators()) + kDebugLogFileName;
}

std::string DebugLogFilePath() {
    const std::string currentFolder = std::string(".") + PathSeparators().front();
    return ChooseDebugLogPath(currentFolder, PerUserSettingsFilePath());
}
