// Where debug.log goes on Linux for a user who may not write the current folder (a
// calling program's folder of root's): into the folder of the user's own settings file.
#include "config/debug_log_location.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/support/as_restricted_user_posix.h"
#include "tests/support/temp_dir.h"

TEST(DebugLogFilePath, ACurrentFolderTheUserMayNotWriteSendsItToTheSettingsFolder) {
    TempDir dir;
    chmod(dir.Path().c_str(), 0755);  // the restricted user must reach the folders
    const std::string callerFolder = dir.File("caller") + "/";
    mkdir(callerFolder.c_str(), 0755);
    const std::string home = dir.File("home");
    mkdir(home.c_str(), 0777);
    chmod(home.c_str(), 0777);
    const std::string perUser = home + "/fumilink/fumilink.ini";

    // Where the user may write, the current folder keeps it.
    EXPECT_EQ(ChooseDebugLogPath(callerFolder, perUser), callerFolder + "debug.log");

    const std::optional<bool> chosen = AsUserWhoCannotWriteTo(callerFolder, [&] {
        if (ChooseDebugLogPath(callerFolder, perUser) != home + "/fumilink/debug.log" ||
            ChooseDebugLogPath(callerFolder, "") != callerFolder + "debug.log") {
            return false;
        }
        // The program's own answer, from that folder, with the settings in XDG_CONFIG_HOME.
        return chdir(callerFolder.c_str()) == 0 &&
               setenv("XDG_CONFIG_HOME", home.c_str(), 1) == 0 &&
               DebugLogFilePath() == home + "/fumilink/debug.log";
    });
    ASSERT_TRUE(chosen.has_value()) << "no user here who cannot write to the folder";
    EXPECT_TRUE(*chosen);

    // A debug.log there that the user may write stays the one written.
    chmod(callerFolder.c_str(), 0755);
    const std::string existing = callerFolder + "debug.log";
    WriteBytes(existing, "old");
    chmod(existing.c_str(), 0666);
    const std::optional<bool> kept = AsUserWhoCannotWriteTo(
        callerFolder, [&] { return ChooseDebugLogPath(callerFolder, perUser) == existing; });
    ASSERT_TRUE(kept.has_value());
    EXPECT_TRUE(*kept);
    chmod(callerFolder.c_str(), 0755);
}
