#include "config/settings.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "config/settings_location.h"
#include "tests/config/remembered_settings.h"
#include "tests/support/temp_dir.h"

TEST(LoadSettings, LenientPortNumberAndIdentification) {
    TempDir dir;
    const std::string path = dir.File(kSettingsFileName);
    WriteBytes(path, "[Main]\r\ncomport=COM7\r\nSerNr=ZOR GX40 SN42\r\n");
    Settings settings = Remembered();
    std::string error;
    ASSERT_TRUE(LoadSettings(path, settings, &error)) << error;
    EXPECT_TRUE(settings.settingsFound);
    EXPECT_EQ(settings.portNumber, 7);
    EXPECT_EQ(settings.identification, "ZOR GX40 SN42");
    EXPECT_EQ(settings.so2Key, "");       // no SO2Key in the file: no SO2 line
    EXPECT_EQ(settings.meanSeconds, "");  // no Mittelwert: no mean
}

TEST(LoadSettings, EmptyMainSectionGivesTheDefaults) {
    TempDir dir;
    const std::string path = dir.File(kSettingsFileName);
    WriteBytes(path, "[Main]\r\n");
    Settings settings = Remembered();
    ASSERT_TRUE(LoadSettings(path, settings, nullptr));
    EXPECT_TRUE(settings.settingsFound);
    EXPECT_EQ(settings.portNumber, 1);
    EXPECT_EQ(settings.identification, "1");
}

TEST(LoadSettings, ReadsSo2KeyAndIgnoresCaseOfNames) {
    TempDir dir;
    const std::string path = dir.File(kSettingsFileName);
    WriteBytes(path,
               "[other]\nSO2Key=9\n[MAIN]\nCOMPORT=12\nsernr=Gr\xF6\xDF"
               "e,1\nso2key= 2204 \nMITTELWERT=30\n");
    Settings settings;
    ASSERT_TRUE(LoadSettings(path, settings, nullptr));
    EXPECT_EQ(settings.portNumber, 12);
    EXPECT_EQ(settings.identification,
              "Gr\xF6\xDF"
              "e,1");
    EXPECT_EQ(settings.so2Key, "2204");
    EXPECT_EQ(settings.meanSeconds, "30");
}

TEST(LoadSettings, MissingFileOrSectionIsNotAnErrorAndKeepsTheFields) {
    TempDir dir;
    for (const std::string& content :
         {std::string("<missing>"), std::string("[Other]\ncomport=9\n"),
          std::string("comport=9\n")}) {
        const std::string path = dir.File(kSettingsFileName);
        std::filesystem::remove(path);
        if (content != "<missing>") {
            WriteBytes(path, content);
        }
        Settings settings = Remembered();
        settings.settingsFound = true;
        std::string error;
        EXPECT_TRUE(LoadSettings(path, settings, &error)) << content;
        EXPECT_FALSE(settings.settingsFound) << content;
        EXPECT_EQ(settings.portNumber, 3) << content;
        EXPECT_EQ(settings.identification, "before") << content;
        EXPECT_EQ(settings.so2Key, "2204") << content;
        EXPECT_EQ(error, "") << content;
    }
}

TEST(LoadSettings, UnreadableFileIsReportedAndChangesNothing) {
    TempDir dir;
    // A folder in the file's place opens but cannot be read as a file, for root too.
    const std::string path = dir.File(kSettingsFileName);
    std::filesystem::create_directory(path);
    Settings settings = Remembered();
    settings.settingsFound = true;
    std::string error;
    EXPECT_FALSE(LoadSettings(path, settings, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(settings.settingsFound);
    EXPECT_EQ(settings.portNumber, 3);
    EXPECT_EQ(settings.identification, "before");
}

TEST(LoadSettings, AFileOverOneMebibyteIsUnreadableAndStaysAsItIs) {
    TempDir dir;
    const std::string path = dir.File(kSettingsFileName);
    std::string content = "[Main]\r\ncomport=4\r\n;";
    content.resize(kMaxSettingsFileBytes, 'x');
    WriteBytes(path, content);
    Settings settings = Remembered();
    ASSERT_TRUE(LoadSettings(path, settings, nullptr)) << "exactly the limit is still read";
    EXPECT_EQ(settings.portNumber, 4);

    content += 'x';
    WriteBytes(path, content);
    settings = Remembered();
    std::string error;
    EXPECT_FALSE(LoadSettings(path, settings, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(settings.portNumber, 3);
    EXPECT_FALSE(SaveSettings(path, Remembered(), nullptr));
    EXPECT_EQ(ReadBytes(path), content);

    // A huge file is refused by its size, without reading (or holding) it.
    std::filesystem::resize_file(path, 100ULL * 1024 * 1024);
    EXPECT_FALSE(LoadSettings(path, settings, nullptr));
    EXPECT_FALSE(SaveSettings(path, Remembered(), nullptr));
    EXPECT_EQ(std::filesystem::file_size(path), 100u * 1024 * 1024);
    EXPECT_EQ(dir.EntryCount(), 1u);
}

TEST(SaveSettings, KeepsForeignContentAndReplacesOurKeys) {
    TempDir dir;
    const std::string path = dir.File(kSettingsFileName);
    WriteBytes(path,
               "; Fumilink\r\n"
               "[Main]\r\n"
               "comport=1\r\n"
               "SO2Key=2204\r\n"
               "\r\n"
               "[Window]\r\n"
               "List=a,b,\"c\"\r\n");
    Settings settings;
    settings.portNumber = 5;
    settings.identification = "ZOR GX40 SN42";
    std::string error;
    ASSERT_TRUE(SaveSettings(path, settings, &error)) << error;
    EXPECT_EQ(ReadBytes(path),
              "; Fumilink\r\n"
              "[Main]\r\n"
              "comport=5\r\n"
              "SO2Key=2204\r\n"
              "SerNr=ZOR GX40 SN42\r\n"
              "\r\n"
              "[Window]\r\n"
              "List=a,b,\"c\"\r\n");
    EXPECT_EQ(dir.EntryCount(), 1u);
}

TEST(SaveSettings, NewFileRoundTripsThroughLoad) {
    TempDir dir;
    const std::string path = dir.File(kSettingsFileName);
    Settings saved;
    saved.portNumber = 12;
    saved.identification = "ZOR \xC4, \"x\" \\y";
    ASSERT_TRUE(SaveSettings(path, saved, nullptr));
    EXPECT_EQ(ReadBytes(path), "[Main]\r\ncomport=12\r\nSerNr=ZOR \xC4, \"x\" \\y\r\n");
    Settings loaded;
    ASSERT_TRUE(LoadSettings(path, loaded, nullptr));
    EXPECT_TRUE(loaded.settingsFound);
    EXPECT_EQ(loaded.portNumber, 12);
    EXPECT_EQ(loaded.identification, saved.identification);
}

TEST(SaveSettings, ALineBreakInTheIdentificationStaysInTheSerNrLine) {
    TempDir dir;
    const std::string path = dir.File(kSettingsFileName);
    Settings saved;
    saved.portNumber = 5;
    saved.identification = "ZOR GX40\nSN42\r";  // an analyser's reply with an LF in it
    ASSERT_TRUE(SaveSettings(path, saved, nullptr));
    EXPECT_EQ(ReadBytes(path), "[Main]\r\ncomport=5\r\nSerNr=ZOR GX40 SN42 \r\n");
}

TEST(SaveSettings, FailuresAreReportedAndLeaveNoFileBehind) {
    TempDir dir;
    Settings settings;
    settings.portNumber = 5;
    std::string error;
    WriteBytes(dir.File("file"), "");
    EXPECT_FALSE(SaveSettings(dir.File("file/fumilink/fumilink.ini"), settings, &error));
    EXPECT_FALSE(error.empty());
    std::filesystem::remove(dir.File("file"));

    // Unreadable existing file: writing would lose what could not be read.
    const std::string path = dir.File(kSettingsFileName);
    std::filesystem::create_directory(path);
    WriteBytes(path + "/keep", "x");
    error.clear();
    EXPECT_FALSE(SaveSettings(path, settings, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(ReadBytes(path + "/keep"), "x");
    EXPECT_EQ(dir.EntryCount(), 1u);
}

TEST(SettingsFilePath, LiesBesideTheExecutable) {
    const std::string path = SettingsFilePath();
    EXPECT_EQ(std::filesystem::path(path).filename(), "fumilink.ini");
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(path).parent_path() /
                                        FUMILINK_TEST_FILE_NAME))
        << path;
}

namespace {

/// UTF-16 LE bytes with the mark, unit by unit, as Notepad saves "Unicode".
std::string Utf16LeFile(std::u16string_view text) {
    std::string bytes = "\xFF\xFE";
    for (const char16_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

}  // namespace

// Notepad saves "UTF-8" with a byte-order mark and "Unicode" as UTF-16 LE with its mark.
// Both are read as the profile functions read them (a character without a Windows-1252
// byte is '?' in the program) and written back in their form, everything but our keys
// unchanged (a comment in Polish, a non-BMP character included).
TEST(SaveSettings, AFileAnEditorSavedInUnicodeIsReadAndWrittenBackInItsForm) {
    struct Form {
        const char* name;
        std::string before;
        std::string after;
    };
    const Form forms[] = {
        {"UTF-8 with mark",
         "\xEF\xBB\xBF[Main]\r\ncomport=7\r\nSerNr=Łukasz Größe\r\nSO2Key=2204\r\n"
         "[Other]\r\n; Łódź \xF0\x9F\x94\xA5\r\nx=€\r\n",
         "\xEF\xBB\xBF[Main]\r\ncomport=5\r\nSerNr=ZOR Größe €\r\nSO2Key=2204\r\n"
         "[Other]\r\n; Łódź \xF0\x9F\x94\xA5\r\nx=€\r\n"},
        {"UTF-16 LE with mark",
         Utf16LeFile(u"[Main]\r\ncomport=7\r\nSerNr=Łukasz Größe\r\nSO2Key=2204\r\n"
                     u"[Other]\r\n; Łódź \U0001F525\r\nx=€\r\n"),
         Utf16LeFile(u"[Main]\r\ncomport=5\r\nSerNr=ZOR Größe €\r\nSO2Key=2204\r\n"
                     u"[Other]\r\n; Łódź \U0001F525\r\nx=€\r\n")},
    };
    for (const Form& form : forms) {
        TempDir dir;
        const std::string path = dir.File(kSettingsFileName);
        WriteBytes(path, form.before);
        Settings settings;
        ASSERT_TRUE(LoadSettings(path, settings, nullptr)) << form.name;
        EXPECT_TRUE(settings.settingsFound) << form.name;
        EXPECT_EQ(settings.portNumber, 7) << form.name;
        EXPECT_EQ(settings.so2Key, "2204") << form.name;
        EXPECT_EQ(settings.identification,
                  "?ukasz Gr\xF6\xDF"
                  "e")
            << form.name;

        settings.portNumber = 5;
        settings.identification =
            "ZOR Gr\xF6\xDF"
            "e \x80";
        std::string error;
        ASSERT_TRUE(SaveSettings(path, settings, &error)) << form.name << ": " << error;
        EXPECT_EQ(ReadBytes(path), form.after) << form.name;
    }
}
