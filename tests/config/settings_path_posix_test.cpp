#include "config/settings_path_posix.h"

#include <gtest/gtest.h>

TEST(ChooseSettingsFilePath, WritableProgramFolderKeepsTheFileBesideTheProgram) {
    EXPECT_EQ(ChooseSettingsFilePath("/opt/fumilink/", true, "/home/u/.cfg", "/home/u"),
              "/opt/fumilink/fumilink.ini");
}

TEST(ChooseSettingsFilePath, InstalledProgramUsesTheUsersConfigurationFolder) {
    struct Case {
        const char* name;
        std::string executableDirectory;
        const char* xdgConfigHome;
        const char* home;
        std::string expected;
    };
    const Case cases[] = {
        {"XDG_CONFIG_HOME set", "/usr/bin/", "/home/u/.cfg", "/home/u",
         "/home/u/.cfg/fumilink/fumilink.ini"},
        {"XDG_CONFIG_HOME unset", "/usr/bin/", nullptr, "/home/u",
         "/home/u/.config/fumilink/fumilink.ini"},
        {"XDG_CONFIG_HOME empty", "/usr/bin/", "", "/home/u",
         "/home/u/.config/fumilink/fumilink.ini"},
        {"XDG_CONFIG_HOME relative", "/usr/bin/", "cfg", "/home/u",
         "/home/u/.config/fumilink/fumilink.ini"},
        {"program folder unknown", "", nullptr, "/home/u", "/home/u/.config/fumilink/fumilink.ini"},
        {"no home either", "/usr/bin/", nullptr, "", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ChooseSettingsFilePath(c.executableDirectory, false, c.xdgConfigHome, c.home),
                  c.expected)
            << c.name;
    }
}
