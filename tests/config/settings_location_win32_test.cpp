// The settings file's place on Windows, where an attempt is what tells whether a file may
// be written (access lists; under Wine the Unix permissions, which root passes).
#include "config/settings_location.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

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

// The MSI's program run as administrator, who may write under Program Files (so may root
// under Wine): its settings are the user's own, and the administrator's file there is
// copied, never written.
TEST(SettingsLocation, TheProgramInTheMsisFolderNeverWritesASettingsFileThere) {
    const std::vector<std::string> installed = InstalledProgramFolders();
    ASSERT_EQ(installed.size(), 1u);
    const std::string folder = installed[0];
    ASSERT_EQ(folder, MsiProgramFolder());
    ASSERT_GT(folder.size(), 10u);
    EXPECT_EQ(folder.substr(folder.size() - 10), "\\Fumilink\\");
    const bool made = CreateDirectoryW(Utf8ToUtf16(folder).c_str(), nullptr) != 0;
    if (!made && GetLastError() != ERROR_ALREADY_EXISTS) {
        GTEST_SKIP() << "Program Files needs an administrator here";
    }
    const std::string beside = folder + kSettingsFileName;
    ASSERT_EQ(GetFileAttributesW(Utf8ToUtf16(beside).c_str()), INVALID_FILE_ATTRIBUTES)
        << "a settings file is there already";
    TempDir dir;
    const std::string perUser = dir.Path() + "\\Local\\Fumilink\\" + kSettingsFileName;

    EXPECT_EQ(SettingsFilePathFor(folder, folder, perUser), perUser);
    EXPECT_EQ(GetFileAttributesW(Utf8ToUtf16(beside).c_str()), INVALID_FILE_ATTRIBUTES);
    WriteBytes(beside, "[Main]\r\nSO2Key=2204\r\n");
    EXPECT_EQ(SettingsFilePathFor(folder, folder, perUser), perUser);
    EXPECT_EQ(ReadBytes(perUser), "[Main]\r\nSO2Key=2204\r\n");
    DeleteFileW(Utf8ToUtf16(beside).c_str());
    if (made) {
        RemoveDirectoryW(Utf8ToUtf16(folder).c_str());
    }
}
