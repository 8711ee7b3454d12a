// The settings file's place on Windows, where an attempt is what tells whether a file may
// be written (access lists; under Wine the Unix permissions, which root passes).
#include "config/settings_location.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "config/settings.h"
#include "config/wide_path_win32.h"
#include "tests/support/temp_dir.h"

TEST(SettingsLocation, ReadOnlyFileBesideTheProgramBecomesTheUsersOwnCopy) {
    TempDir dir;
    const std::string programFolder = dir.Path() + "\\program\\";
    const std::string perUser = dir.Path() + "\\Local\\Fumilink\\" + kSettingsFileName;
    const std::string beside = programFolder + kSettingsFileName;
    ASSERT_TRUE(CreateDirectoryW(Utf8ToUtf16(programFolder).c_str(), nullptr));
    EXPECT_EQ(ChooseSettingsFilePath(programFolder, perUser), beside);

    WriteBytes(beside, "[Main]\r\nSO2Key=2204\r\n");
    EXPECT_EQ(ChooseSettingsFilePath(programFolder, perUser), beside);
    ASSERT_TRUE(SetFileAttributesW(Utf8ToUtf16(beside).c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(ChooseSettingsFilePath(programFolder, perUser), perUser);
    Settings settings;
    ASSERT_TRUE(LoadSettings(perUser, settings, nullptr));
    EXPECT_EQ(settings.so2Key, "2204");
    SetFileAttributesW(Utf8ToUtf16(beside).c_str(), FILE_ATTRIBUTE_NORMAL);
}
