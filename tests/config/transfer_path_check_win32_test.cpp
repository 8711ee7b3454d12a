// The look at the transfer path on Windows' own files (under Wine): what it says, and that
// it leaves nothing behind.

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "config/transfer_path_check.h"
#include "config/wide_path_win32.h"
#include "tests/support/temp_dir.h"

TEST(TransferPathProblemWin32, TellsWhatStandsInTheWayAndCreatesNothing) {
    TempDir dir;
    const std::string folder = dir.Path() + "\\";
    WriteBytes(folder + "old.csv", "old");
    WriteBytes(folder + "readonly.csv", "kept");
    ASSERT_TRUE(
        SetFileAttributesW(Utf8ToUtf16(folder + "readonly.csv").c_str(), FILE_ATTRIBUTE_READONLY));
    const size_t entries = dir.EntryCount();

    EXPECT_EQ(TransferPathProblem(folder + "m.csv"), "");
    EXPECT_EQ(TransferPathProblem(folder + "old.csv"), "");
    EXPECT_EQ(TransferPathProblem(folder + "fehlt\\m.csv"),
              "Den Ordner " + folder + "fehlt\\ gibt es nicht.");
    EXPECT_EQ(TransferPathProblem(folder + "old.csv\\m.csv"),
              folder + "old.csv\\ ist kein Ordner.");
    EXPECT_EQ(TransferPathProblem(dir.Path()), "Der Pfad nennt einen Ordner, keine Datei.");
    // "C:\out\" on the command line: the backslash took the closing quote into the argument.
    EXPECT_EQ(TransferPathProblem(folder + "\" /ART=14")
                  .rfind("Der Pfad enthält ein "
                         "Anführungszeichen",
                         0),
              0u);
    EXPECT_EQ(TransferPathProblem(folder + "readonly.csv"),
              "Die vorhandene Datei darf nicht überschrieben werden (system error 5).");

    EXPECT_EQ(dir.EntryCount(), entries);
    EXPECT_EQ(ReadBytes(folder + "old.csv"), "old");
    SetFileAttributesW(Utf8ToUtf16(folder + "readonly.csv").c_str(), FILE_ATTRIBUTE_NORMAL);
}
