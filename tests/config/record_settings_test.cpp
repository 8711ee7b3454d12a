// The three keys of the session records, each from the user's own file or the
// administrator's, the administrator's winning key by key; values a typing error makes
// unreadable never cost the records.

#include "config/record_settings.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/temp_dir.h"

TEST(RecordSettings, EachKeyFromEitherFileAndTheAdministratorsWins) {
    const struct {
        const char* name;
        std::string user;   // the user's own file; empty: none
        std::string admin;  // the administrator's, beside the program; empty: none
        bool enabled;
        std::string folder;
        int days;
    } cases[] = {
        {"no files", "", "", true, "", 30},
        {"a file without the keys", "[Main]\r\ncomport=5\r\n", "", true, "", 30},
        {"the user switches them off", "[Main]\r\nProtokolle=0\r\n", "", false, "", 30},
        {"any other value keeps them", "[Main]\r\nprotokolle = 1\r\n", "", true, "", 30},
        {"the user's folder and days", "[MAIN]\nProtokollordner=/srv/p\nProtokolltage=7\n", "",
         true, "/srv/p", 7},
        {"the administrator switches them off over the user", "[Main]\r\nProtokolle=1\r\n",
         "[Main]\r\nProtokolle=0\r\n", false, "", 30},
        {"key by key: the user's folder stays, the administrator's days win",
         "[Main]\r\nProtokollordner=/home/u/p\r\nProtokolltage=90\r\n",
         "[Main]\r\nProtokolltage=3\r\n", true, "/home/u/p", 3},
        {"the administrator's folder wins", "[Main]\r\nProtokollordner=/home/u/p\r\n",
         "[Main]\r\nProtokollordner=/srv/it\r\n", true, "/srv/it", 30},
        {"zero days: only this run's record", "", "[Main]\r\nProtokolltage=0\r\n", true, "", 0},
        {"days that are no number keep what was before", "[Main]\r\nProtokolltage=10\r\n",
         "[Main]\r\nProtokolltage=zehn\r\n", true, "", 10},
        {"negative days too", "", "[Main]\r\nProtokolltage=-5\r\n", true, "", 30},
        {"another section's keys count not", "[Other]\r\nProtokolle=0\r\n", "", true, "", 30},
        {"an ANSI folder in Windows-1252", "",
         "[Main]\r\nProtokollordner=C:\\Pr\xFC"
         "f\r\n",
         true,
         "C:\\Pr\xC3\xBC"
         "f",
         30},
        {"a UTF-8 folder as it is", "",
         "[Main]\r\nProtokollordner=/srv/Pr\xC3\xBC"
         "f\r\n",
         true,
         "/srv/Pr\xC3\xBC"
         "f",
         30},
        {"Notepad's Unicode", "",
         std::string("\xFF\xFE[\0M\0a\0i\0n\0]\0\r\0\n\0P\0r\0o\0t\0o\0k\0o\0l\0l\0e\0=\0"
                     "0\0",
                     42),
         false, "", 30},
    };
    for (const auto& c : cases) {
        TempDir dir;
        std::string user;
        std::string admin;
        if (!c.user.empty()) {
            user = dir.File("user.ini");
            WriteBytes(user, c.user);
        }
        if (!c.admin.empty()) {
            admin = dir.File("admin.ini");
            WriteBytes(admin, c.admin);
        }
        const RecordSettings settings =
            RecordSettingsFrom(user.empty() ? dir.File("missing.ini") : user, admin);
        EXPECT_EQ(settings.enabled, c.enabled) << c.name;
        EXPECT_EQ(settings.folder, c.folder) << c.name;
        EXPECT_EQ(settings.keptDays, c.days) << c.name;
    }
}
