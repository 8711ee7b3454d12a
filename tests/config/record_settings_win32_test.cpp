// Machine policy over the settings files: the values under
// HKLM\SOFTWARE\Policies\Fumilink, as Group Policy or Intune write them, win over the
// administrator's file, and a folder's environment variables are expanded. Writing HKLM
// needs an administrator on Windows; the Wine prefix of the test run allows it.

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "config/record_settings.h"
#include "config/wide_path_win32.h"
#include "tests/support/temp_dir.h"

namespace {

constexpr const wchar_t* kPolicyKey = L"SOFTWARE\\Policies\\Fumilink";

class RecordPolicy : public ::testing::Test {
protected:
    void SetUp() override {
        HKEY key = nullptr;
        const LSTATUS made = RegCreateKeyExW(HKEY_LOCAL_MACHINE, kPolicyKey, 0, nullptr, 0,
                                             KEY_SET_VALUE, nullptr, &key, nullptr);
        if (made == ERROR_ACCESS_DENIED) {
            GTEST_SKIP() << "machine policy needs an administrator here";
        }
        ASSERT_EQ(made, ERROR_SUCCESS);
        RegCloseKey(key);
    }
    void TearDown() override { RegDeleteTreeW(HKEY_LOCAL_MACHINE, kPolicyKey); }

    static void SetDword(const wchar_t* name, DWORD value) {
        ASSERT_EQ(
            RegSetKeyValueW(HKEY_LOCAL_MACHINE, kPolicyKey, name, REG_DWORD, &value, sizeof(value)),
            ERROR_SUCCESS);
    }
    static void SetText(const wchar_t* name, DWORD type, const std::wstring& text) {
        ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, kPolicyKey, name, type, text.c_str(),
                                  static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))),
                  ERROR_SUCCESS);
    }

    TempDir dir;
};

}  // namespace

TEST_F(RecordPolicy, ItsValuesWinOverTheFilesAndTheFolderIsExpanded) {
    const std::string admin = dir.Path() + "\\fumilink.ini";
    WriteBytes(admin, "[Main]\r\nProtokolle=1\r\nProtokolltage=90\r\nProtokollordner=C:\\it\r\n");
    ASSERT_TRUE(SetEnvironmentVariableW(L"FUMILINK_TEST_STATE", L"C:\\Zust\u00E4nde"));

    // Not configured: the files decide.
    RecordSettings settings = RecordSettingsFrom("", admin);
    EXPECT_TRUE(settings.enabled);
    EXPECT_EQ(settings.keptDays, 90);
    EXPECT_EQ(settings.folder, "C:\\it");

    SetDword(L"Protokolle", 0);
    SetDword(L"Protokolltage", 7);
    SetText(L"Protokollordner", REG_SZ, L"%FUMILINK_TEST_STATE%\\Logs");
    settings = RecordSettingsFrom("", admin);
    EXPECT_FALSE(settings.enabled);
    EXPECT_EQ(settings.keptDays, 7);
    EXPECT_EQ(settings.folder, "C:\\Zust\xC3\xA4nde\\Logs");

    // Intune may write the folder as REG_EXPAND_SZ; any Protokolle but 0 keeps them on.
    SetDword(L"Protokolle", 1);
    SetText(L"Protokollordner", REG_EXPAND_SZ, L"%FUMILINK_TEST_STATE%");
    settings = RecordSettingsFrom("", admin);
    EXPECT_TRUE(settings.enabled);
    EXPECT_EQ(settings.folder, "C:\\Zust\xC3\xA4nde");

    // A value of the wrong type is no policy: the file's stays.
    SetText(L"Protokolltage", REG_SZ, L"3");
    EXPECT_EQ(RecordSettingsFrom("", admin).keptDays, 90);
}
