#include "config/executable_path.h"
#include "config/settings.h"

// On Windows the program is copied into a folder of its own, and the file sits beside it.
std::string SettingsFilePath() {
    return ExecutableDirectory() + kSettingsFileName;
}
