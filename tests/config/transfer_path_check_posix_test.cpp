// The look at the transfer path on this system's files: what it says, and that it leaves
// nothing behind.

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "config/transfer_path_check.h"
#include "tests/support/as_restricted_user_posix.h"
#include "tests/support/temp_dir.h"

namespace {

bool Begins(const std::string& text, const std::string& start) {
    return text.rfind(start, 0) == 0;
}

}  // namespace

TEST(TransferPathProblemPosix, TellsMissingFoldersFilesInTheirPlaceAndFoldersAndCreatesNothing) {
    TempDir dir;
    WriteBytes(dir.File("old.csv"), "old");
    WriteBytes(dir.File("notes.txt"), "a file");
    std::filesystem::create_directory(dir.File("sub"));
    const size_t entries = dir.EntryCount();

    EXPECT_EQ(TransferPathProblem(dir.File("m.csv")), "");
    EXPECT_EQ(TransferPathProblem(dir.File("old.csv")), "");
    EXPECT_EQ(TransferPathProblem(dir.File("fehlt/m.csv")),
              "Den Ordner " + dir.File("fehlt/") + " gibt es nicht.");
    EXPECT_EQ(TransferPathProblem(dir.File("notes.txt/m.csv")),
              dir.File("notes.txt/") + " ist kein Ordner.");
    EXPECT_EQ(TransferPathProblem(dir.File("sub")), "Der Pfad nennt einen Ordner, keine Datei.");
    EXPECT_EQ(TransferPathProblem(dir.File("old.csv/")),
              "Der Pfad nennt einen Ordner, keine Datei.");
    EXPECT_EQ(TransferPathProblem("/dev/null"), "Der Pfad nennt keine gewöhnliche Datei.");

    EXPECT_EQ(dir.EntryCount(), entries);
    EXPECT_EQ(ReadBytes(dir.File("old.csv")), "old");
}

TEST(TransferPathProblemPosix, AFolderTheUserMayNotWriteTakesOnlyAFileTheUserMayWrite) {
    TempDir dir;
    chmod(dir.Path().c_str(), 0755);  // the restricted user must reach the folder
    const std::string folder = dir.File("closed");
    std::filesystem::create_directory(folder);
    WriteBytes(folder + "/open.csv", "");
    chmod((folder + "/open.csv").c_str(), 0666);
    WriteBytes(folder + "/shut.csv", "");
    chmod((folder + "/shut.csv").c_str(), 0644);

    const std::optional<bool> seen = AsUserWhoCannotWriteTo(folder, [&] {
        return Begins(TransferPathProblem(folder + "/new.csv"),
                      "Im Ordner " + folder + "/ darf keine Datei angelegt werden (") &&
               TransferPathProblem(folder + "/open.csv").empty() &&
               Begins(TransferPathProblem(folder + "/shut.csv"),
                      "Die vorhandene Datei darf nicht überschrieben werden (");
    });
    chmod(folder.c_str(), 0755);
    ASSERT_TRUE(seen.has_value()) << "no user here who cannot write to the folder";
    EXPECT_TRUE(*seen);
}
