// Where the settings file lives on Linux: beside the program where the user may write it,
// else in the user's configuration folder. Run as a user who cannot write everywhere.
#include "config/settings_location.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "config/atomic_write.h"
#include "config/settings.h"
#include "config/settings_location_posix.h"
#include "data/transfer_file.h"
#include "tests/support/as_restricted_user_posix.h"
#include "tests/support/temp_dir.h"
#include "tests/support/transfer_file_content.h"

TEST(PerUserSettingsFilePathFor, FollowsTheXdgBaseDirectoryRules) {
    struct Case {
        const char* name;
        const char* xdgConfigHome;
        const char* home;
        std::string expected;
    };
    const Case cases[] = {
        {"XDG_CONFIG_HOME set", "/home/u/.cfg", "/home/u", "/home/u/.cfg/fumilink/fumilink.ini"},
        {"XDG_CONFIG_HOME unset", nullptr, "/home/u", "/home/u/.config/fumilink/fumilink.ini"},
        {"XDG_CONFIG_HOME empty", "", "/home/u", "/home/u/.config/fumilink/fumilink.ini"},
        {"XDG_CONFIG_HOME relative", "cfg", "/home/u", "/home/u/.config/fumilink/fumilink.ini"},
        {"no home either", nullptr, "", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PerUserSettingsFilePathFor(c.xdgConfigHome, c.home), c.expected) << c.name;
    }
}

namespace {

/// A program folder the restricted user may not write to, holding `settings` (when not
/// empty) with the given permission bits, and a configuration home that user may write.
class SettingsLocation : public ::testing::Test {
protected:
    void SetUp() override {
        chmod(dir.Path().c_str(), 0755);  // the restricted user must reach the folders
        programFolder = dir.File("program") + "/";
        mkdir(programFolder.c_str(), 0755);
        const std::string home = dir.File("home");
        mkdir(home.c_str(), 0777);
        chmod(home.c_str(), 0777);
        perUser = home + "/fumilink/fumilink.ini";
        beside = programFolder + kSettingsFileName;
    }

    void TearDown() override { chmod(programFolder.c_str(), 0755); }

    void PutBesideTheProgram(const std::string& content, mode_t mode) {
        WriteBytes(beside, content);
        chmod(beside.c_str(), mode);
    }

    /// Chooses, loads and saves port 5 as the restricted user; true when all succeeded
    /// and the file chosen was `expected`.
    std::optional<bool> SaveAsRestrictedUser(const std::string& expected) {
        return AsUserWhoCannotWriteTo(programFolder, [this, expected] {
            const std::string path = ChooseSettingsFilePath(programFolder, perUser);
            Settings settings;
            if (path != expected || !LoadSettings(path, settings, nullptr)) {
                return false;
            }
            settings.portNumber = 5;
            settings.identification = "ZOR GX40 SN42";
            return SaveSettings(path, settings, nullptr);
        });
    }

    TempDir dir;
    std::string programFolder;
    std::string beside;
    std::string perUser;
};

}  // namespace

TEST_F(SettingsLocation, WritableFileInAFolderTheUserMayNotWriteIsSavedInPlace) {
    PutBesideTheProgram("[Main]\r\ncomport=1\r\nSO2Key=2204\r\n", 0666);
    const std::optional<bool> saved = SaveAsRestrictedUser(beside);
    ASSERT_TRUE(saved.has_value()) << "no user here who cannot write to the folder";
    EXPECT_TRUE(*saved);
    EXPECT_EQ(ReadBytes(beside), "[Main]\r\ncomport=5\r\nSO2Key=2204\r\nSerNr=ZOR GX40 SN42\r\n");
    EXPECT_FALSE(std::filesystem::exists(perUser));
}

TEST_F(SettingsLocation, ReadOnlyFileBecomesTheUsersOwnCopyAndItsSo2KeyStillCounts) {
    const std::string prepared = "; prepared\r\n[Main]\r\ncomport=1\r\nSO2Key=2204\r\n";
    PutBesideTheProgram(prepared, 0444);
    const std::optional<bool> saved = SaveAsRestrictedUser(perUser);
    ASSERT_TRUE(saved.has_value()) << "no user here who cannot write to the folder";
    EXPECT_TRUE(*saved);
    EXPECT_EQ(ReadBytes(beside), prepared);
    EXPECT_EQ(ReadBytes(perUser),
              "; prepared\r\n[Main]\r\ncomport=5\r\nSO2Key=2204\r\nSerNr=ZOR GX40 SN42\r\n");

    // The next start reads the copy, and the transfer file carries SO2 under its key.
    const std::string transfer = dir.File("home/data.csv");
    const std::optional<bool> written = AsUserWhoCannotWriteTo(programFolder, [&] {
        Settings settings;
        if (!LoadSettings(ChooseSettingsFilePath(programFolder, perUser), settings, nullptr) ||
            settings.portNumber != 5) {
            return false;
        }
        TransferFileContent content;
        content.record.values[6] = 42.0;  // channel 7, SO2
        content.record.valid[6] = true;
        content.so2Key = settings.so2Key;
        return WriteFileAtomically(transfer, ComposeTransferFile(content), nullptr);
    });
    EXPECT_EQ(written, std::optional<bool>(true));
    EXPECT_NE(ReadBytes(transfer).find("\r\n2204=42\r\n"), std::string::npos);
}

TEST_F(SettingsLocation, AReaderOnlyReadsTheReadOnlyFileAndMakesNoCopyOfIt) {
    PutBesideTheProgram("[Main]\r\ncomport=1\r\nSO2Key=2204\r\n", 0444);
    const std::optional<bool> chosen = AsUserWhoCannotWriteTo(programFolder, [this] {
        return ChooseSettingsFilePath(programFolder, perUser, SettingsUse::ReadOnly) == beside;
    });
    ASSERT_TRUE(chosen.has_value()) << "no user here who cannot write to the folder";
    EXPECT_TRUE(*chosen);
    EXPECT_FALSE(std::filesystem::exists(dir.File("home/fumilink")));
}

TEST_F(SettingsLocation, NoFileAndAFolderTheUserMayNotWriteMeanTheUsersOwnFile) {
    const std::optional<bool> saved = SaveAsRestrictedUser(perUser);
    ASSERT_TRUE(saved.has_value()) << "no user here who cannot write to the folder";
    EXPECT_TRUE(*saved);
    EXPECT_FALSE(std::filesystem::exists(beside));
    EXPECT_EQ(ReadBytes(perUser), "[Main]\r\ncomport=5\r\nSerNr=ZOR GX40 SN42\r\n");
}

TEST_F(SettingsLocation, AWritableProgramFolderKeepsTheFileBesideTheProgram) {
    EXPECT_EQ(ChooseSettingsFilePath(programFolder, perUser), beside);
    PutBesideTheProgram("[Main]\r\n", 0644);
    EXPECT_EQ(ChooseSettingsFilePath(programFolder, perUser), beside);
    EXPECT_EQ(ChooseSettingsFilePath("", perUser), perUser);
    EXPECT_FALSE(std::filesystem::exists(perUser));
}

// Root may write /usr/bin, but the packaged program must leave nothing there that the
// package does not know: the installed program uses the user's own file only, whatever
// its folder is called. A program unpacked or built into a folder of its own keeps the
// rule beside the program.
TEST_F(SettingsLocation, TheInstalledProgramUsesTheUsersOwnFileOnly) {
    const std::string linked = dir.File("usr-bin");
    ASSERT_EQ(symlink(programFolder.c_str(), linked.c_str()), 0);
    EXPECT_EQ(SettingsFilePathFor(programFolder, linked + "/", perUser), perUser);
    EXPECT_EQ(SettingsFilePathFor(programFolder, programFolder + "/", perUser), perUser);
    EXPECT_EQ(SettingsFilePathFor(programFolder, dir.File("home") + "/", perUser), beside);
    EXPECT_EQ(SettingsFilePathFor(programFolder, "", perUser), beside);
    EXPECT_EQ(SettingsFilePathFor(programFolder, dir.File("missing") + "/", perUser), beside);
    // An administrator's file beside it starts a new user's own file, also where the user
    // may write it (root, an elevated run), and is never written itself.
    PutBesideTheProgram("[Main]\r\nSO2Key=2204\r\n", 0644);
    EXPECT_EQ(SettingsFilePathFor(programFolder, programFolder + "/", perUser), perUser);
    EXPECT_EQ(ReadBytes(perUser), "[Main]\r\nSO2Key=2204\r\n");

    // The build's own install folder and the package's, absolute bindirs; the package's is
    // /usr/bin whatever prefix the build was configured with (cpack's own prefix).
    const std::vector<std::string> installed = InstalledProgramFolders();
    ASSERT_EQ(installed.size(), 2u);
    for (const std::string& folder : installed) {
        ASSERT_FALSE(folder.empty());
        EXPECT_EQ(folder.front(), '/');
        EXPECT_EQ(folder.substr(folder.size() - 5), "/bin/");
    }
    EXPECT_EQ(installed[1], "/usr/bin/");
}
