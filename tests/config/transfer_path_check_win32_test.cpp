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
    WriteBytes(folder + "held.csv", "kept");
    const size_t entries = dir.EntryCount();

    EXPECT_EQ(TransferPathProblem(folder + "m.csv"), "");
    EXPECT_EQ(TransferPathProblem(folder + "old.csv"), "");
    EXPECT_EQ(TransferPathProblem(folder + "fehlt\\m.csv"),
              "Den Ordner " + folder + "fehlt\\ gibt es nicht.");
    EXPECT_EQ(TransferPathProblem(folder + "old.csv\\m.csv"),
              folder + "old.csv\\ ist kein Ordner.");
    EXPECT_EQ(TransferPathProblem(dir.Path()), "Der Pfad nennt einen Ordner, keine Datei.");
    EXPECT_EQ(TransferPathProblem(folder), "Der Pfad nennt einen Ordner, keine Datei.");
    // "C:\out\" on the command line: the backslash took the closing quote into the argument.
    EXPECT_EQ(TransferPathProblem(folder + "\" /ART=14").rfind("Der Pfad enthält ein Anf", 0), 0u);
    // Another program holds the file and lets nobody write it: it may have let go by the
    // take-over, which waits a second for it and then writes in place. (A read-only file
    // refuses GENERIC_WRITE on Windows; Wine run as root opens it all the same, so that
    // refusal is left to the sequence's own test.)
    HANDLE held = CreateFileW(Utf8ToUtf16(folder + "held.csv").c_str(), GENERIC_READ, 0, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(TransferPathProblem(folder + "held.csv"), "");
    CloseHandle(held);

    EXPECT_EQ(dir.EntryCount(), entries);
    EXPECT_EQ(ReadBytes(folder + "old.csv"), "old");
}
