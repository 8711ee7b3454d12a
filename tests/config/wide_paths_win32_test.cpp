// Paths with letters the ANSI code page lacks, as technicians' user folders hold them. The
// ANSI functions would turn "Şahin Łukasz" into "Sahin Lukasz", another folder.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "config/atomic_write.h"
#include "config/executable_path.h"
#include "config/file_bytes.h"
#include "config/make_folders.h"
#include "config/settings.h"
#include "config/wide_command_line_win32.h"
#include "config/wide_path_win32.h"
#include "tests/support/temp_dir.h"

namespace {

// S with cedilla (U+015E) and L with stroke (U+0141) in UTF-8; Windows-1252 has neither.
const std::string kNamed =
    "\xC5\x9E"
    "ahin \xC5\x81"
    "ukasz";
const std::string kLookAlike = "Sahin Lukasz";

size_t EntryCount(const std::string& folder) {
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW(Utf8ToUtf16(folder + "\\*").c_str(), &found);
    size_t count = 0;
    if (search == INVALID_HANDLE_VALUE) {
        return count;
    }
    do {
        const std::wstring name = found.cFileName;
        count += name != L"." && name != L"..";
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return count;
}

}  // namespace

TEST(WidePaths, TheNamedFolderReceivesTheFilesAndItsLookAlikeStaysEmpty) {
    TempDir dir;
    const std::string named = dir.Path() + "\\" + kNamed;
    const std::string lookAlike = dir.Path() + "\\" + kLookAlike;
    std::string error;
    ASSERT_TRUE(CreateDirectoryW(Utf8ToUtf16(lookAlike).c_str(), nullptr));
    ASSERT_TRUE(MakeFolders(named + "\\" + kNamed, &error)) << error;

    const std::string transfer = named + "\\out.csv";
    ASSERT_TRUE(WriteFileAtomically(transfer, "first", &error)) << error;
    ASSERT_TRUE(WriteFileAtomically(transfer, "second", &error)) << error;
    std::string bytes;
    EXPECT_EQ(ReadFileBytes(transfer, 100, &bytes, &error), ReadFileResult::Ok) << error;
    EXPECT_EQ(bytes, "second");

    const std::string ini = named + "\\" + kNamed + "\\" + kSettingsFileName;
    Settings saved;
    saved.portNumber = 5;
    ASSERT_TRUE(SaveSettings(ini, saved, &error)) << error;
    Settings loaded;
    ASSERT_TRUE(LoadSettings(ini, loaded, &error)) << error;
    EXPECT_TRUE(loaded.settingsFound);
    EXPECT_EQ(loaded.portNumber, 5);

    EXPECT_EQ(EntryCount(named), 2u);  // out.csv and the folder, no temporary file
    EXPECT_EQ(EntryCount(lookAlike), 0u);
}

TEST(WidePaths, CommandLineKeepsThePathAndGivesTheFileTextInWindows1252) {
    const std::vector<std::string> arguments =
        ArgumentsOfWideCommandLine(
            L"fumilink.exe \"\u015Eahin M\u00FCller \u20AC\" /ART=14 "
            L"\"C:\\Kunden\\\u015Eahin \u0141ukasz\\out.csv\"")
            .arguments;
    ASSERT_EQ(arguments.size(), 3u);
    // u umlaut and the euro sign have Windows-1252 bytes; S with cedilla has none.
    EXPECT_EQ(arguments[0],
              "?ahin M\xFC"
              "ller \x80");
    EXPECT_EQ(arguments[1], "/ART=14");
    EXPECT_EQ(arguments[2], "C:\\Kunden\\" + kNamed + "\\out.csv");
}

TEST(WidePaths, TheDemoSwitchIsTakenOffBeforeTheFileTextIsMade) {
    // The quotes inside the switch group the blanks of its value, and its log path keeps
    // the letter Windows-1252 lacks.
    const ProgramArguments given = ArgumentsOfWideCommandLine(
        L"fumilink.exe --demo=\"--steady --log C:\\\u015Eahin\\d.log\" \"\u015Eahin\" /ART=14 "
        L"C:\\o.csv");
    EXPECT_EQ(given.demo,
              "--steady --log C:\\\xC5\x9E"
              "ahin\\d.log");
    EXPECT_EQ(given.arguments, (std::vector<std::string>{"?ahin", "/ART=14", "C:\\o.csv"}));
}

// The program's own folder holds the settings file: a copy of this test program, started
// from a folder and under a name outside the code page, must find itself there.
TEST(WidePaths, ExecutableInAFolderOutsideTheCodePageKnowsItsPath) {
    wchar_t expected[1024];
    if (GetEnvironmentVariableW(L"FUMILINK_EXPECTED_EXECUTABLE", expected, 1024) > 0) {
        EXPECT_EQ(ExecutablePath(), Utf16ToUtf8(expected));
        return;
    }
    TempDir dir;
    const std::string folder = dir.Path() + "\\" + kNamed;
    const std::string copy = folder + "\\" + kNamed + ".exe";
    ASSERT_TRUE(CreateDirectoryW(Utf8ToUtf16(folder).c_str(), nullptr));
    ASSERT_TRUE(CopyFileW(Utf8ToUtf16(ExecutablePath()).c_str(), Utf8ToUtf16(copy).c_str(), TRUE));
    ASSERT_TRUE(
        SetEnvironmentVariableW(L"FUMILINK_EXPECTED_EXECUTABLE", Utf8ToUtf16(copy).c_str()));
    std::wstring commandLine = L"\"" + Utf8ToUtf16(copy) +
                               L"\" --gtest_filter=WidePaths."
                               L"ExecutableInAFolderOutsideTheCodePageKnowsItsPath";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    const bool started = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0,
                                        nullptr, nullptr, &startup, &process);
    SetEnvironmentVariableW(L"FUMILINK_EXPECTED_EXECUTABLE", nullptr);
    ASSERT_TRUE(started) << GetLastError();
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD exitCode = 1;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    EXPECT_EQ(exitCode, 0u) << "the copy did not find itself at " << copy;
}

// Calling programs keep per-customer folders deep in a profile; past 260 characters only
// the long form of a path reaches them.
TEST(WidePaths, FilesInAFolderPastTheOrdinaryLengthLimitAreWrittenAndRead) {
    TempDir dir;
    std::string folder = dir.Path();
    while (folder.size() < 300) {
        folder += "\\" + std::string(50, 'k') + kNamed;
    }
    std::string error;
    ASSERT_TRUE(MakeFolders(folder, &error)) << error;
    const std::string transfer = folder + "\\out.csv";
    ASSERT_GT(transfer.size(), 300u);
    ASSERT_TRUE(WriteFileAtomically(transfer, "first", &error)) << error;
    ASSERT_TRUE(WriteFileAtomically(transfer, "second", &error)) << error;
    std::string bytes;
    EXPECT_EQ(ReadFileBytes(transfer, 100, &bytes, &error), ReadFileResult::Ok) << error;
    EXPECT_EQ(bytes, "second");
    EXPECT_EQ(EntryCount(folder), 1u);

    // The same folder named relative to a current folder part of the way down.
    const size_t middle = folder.find('\\', dir.Path().size() + 1);
    ASSERT_TRUE(SetCurrentDirectoryW(Utf8ToUtf16(folder.substr(0, middle)).c_str()));
    const std::string relative = folder.substr(middle + 1) + "\\" + kSettingsFileName;
    Settings saved;
    saved.portNumber = 7;
    const bool savedOk = SaveSettings(relative, saved, &error);
    Settings loaded;
    const bool loadedOk = LoadSettings(relative, loaded, &error);
    SetCurrentDirectoryW(Utf8ToUtf16(dir.Path() + "\\..").c_str());
    ASSERT_TRUE(savedOk) << error;
    ASSERT_TRUE(loadedOk) << error;
    EXPECT_EQ(loaded.portNumber, 7);
    EXPECT_EQ(EntryCount(folder), 2u);
}

// Wine takes long ordinary paths in its wide functions; Windows does not without its
// long-path setting. So the form handed to the system is checked here, not only the file.
TEST(WidePaths, OnlyPathsTooLongForTheOrdinaryFormTakeTheLongForm) {
    const std::string deep = std::string(150, 'a') + "\\" + std::string(150, 'b') + "\\out.csv";
    const std::wstring wideDeep = Utf8ToUtf16(deep);
    EXPECT_EQ(WidePath("C:\\Kunden\\out.csv"), L"C:\\Kunden\\out.csv");
    EXPECT_EQ(WidePath("C:\\" + deep), L"\\\\?\\C:\\" + wideDeep);
    EXPECT_EQ(
        WidePath("C:/x/../" + std::string(150, 'a') + "/" + std::string(150, 'b') + "/out.csv"),
        L"\\\\?\\C:\\" + wideDeep);
    EXPECT_EQ(WidePath("\\\\server\\share\\" + deep), L"\\\\?\\UNC\\server\\share\\" + wideDeep);
    EXPECT_EQ(WidePath("\\\\?\\C:\\x\\..\\y"), L"\\\\?\\C:\\x\\..\\y");

    EXPECT_EQ(PathFromSystem(L"\\\\?\\C:\\" + wideDeep), "C:\\" + deep);
    EXPECT_EQ(PathFromSystem(L"\\\\?\\UNC\\server\\share\\x"), "\\\\server\\share\\x");
    EXPECT_EQ(PathFromSystem(L"C:\\x"), "C:\\x");
}
