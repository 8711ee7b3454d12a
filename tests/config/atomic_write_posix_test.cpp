// The safe replace where POSIX has more to say: permission bits, symbolic links, folders
// the user may not write to, and leftovers of writers that were killed.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <vector>

#include "config/atomic_write.h"
#include "config/temporary_file_name.h"
#include "tests/support/as_restricted_user_posix.h"
#include "tests/support/temp_dir.h"

namespace {

mode_t ModeOf(const std::string& path) {
    struct stat info {};
    stat(path.c_str(), &info);
    return info.st_mode & 07777;
}

}  // namespace

TEST(WriteFileAtomically, FileInAFolderTheUserMayNotWriteToIsRewrittenInPlace) {
    TempDir dir;
    chmod(dir.Path().c_str(), 0755);  // user nobody must reach the folder inside
    const std::string folder = dir.File("locked");
    mkdir(folder.c_str(), 0755);
    const std::string path = folder + "/data.csv";
    WriteBytes(path, "old content that is longer\r\n");
    chmod(path.c_str(), 0666);

    const std::optional<bool> written = AsUserWhoCannotWriteTo(
        folder, [&path] { return WriteFileAtomically(path, "new\r\n", nullptr); });
    ASSERT_TRUE(written.has_value()) << "no user here who cannot write to the folder";
    EXPECT_TRUE(*written);
    EXPECT_EQ(ReadBytes(path), "new\r\n");
    EXPECT_EQ(ModeOf(path), 0666u);

    // A new file cannot be created there at all: that still fails cleanly.
    const std::string other = folder + "/other.csv";
    EXPECT_EQ(AsUserWhoCannotWriteTo(folder,
                                     [&other] { return WriteFileAtomically(other, "x", nullptr); }),
              std::optional<bool>(false));
    EXPECT_FALSE(std::filesystem::exists(other));
    chmod(folder.c_str(), 0755);
    EXPECT_EQ(std::filesystem::directory_iterator(folder)->path().filename(), "data.csv");
}

TEST(WriteFileAtomically, ReplacedFileKeepsItsPermissionBitsAndLinksStayLinks) {
    TempDir dir;
    const std::string path = dir.File("data.csv");
    WriteBytes(path, "old");
    chmod(path.c_str(), 0604);
    std::string error;
    ASSERT_TRUE(WriteFileAtomically(path, "new", &error)) << error;
    EXPECT_EQ(ModeOf(path), 0604u);

    // A link (relative, through a second link) is written through to the file at its end;
    // the temporary file lies beside that file, not beside the link.
    std::filesystem::create_directory(dir.File("real"));
    WriteBytes(dir.File("real/target.csv"), "old");
    std::filesystem::create_symlink("real/target.csv", dir.File("middle"));
    std::filesystem::create_symlink("middle", dir.File("link.csv"));
    ASSERT_TRUE(WriteFileAtomically(dir.File("link.csv"), "through", &error)) << error;
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("link.csv")));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("middle")));
    EXPECT_EQ(ReadBytes(dir.File("real/target.csv")), "through");

    // A link to a file not there yet creates that file.
    std::filesystem::create_symlink("real/new.csv", dir.File("ahead.csv"));
    ASSERT_TRUE(WriteFileAtomically(dir.File("ahead.csv"), "created", &error)) << error;
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("ahead.csv")));
    EXPECT_EQ(ReadBytes(dir.File("real/new.csv")), "created");
    EXPECT_EQ(dir.EntryCount(), 5u);

    // A loop of links names no file.
    std::filesystem::create_symlink("loop-b", dir.File("loop-a"));
    std::filesystem::create_symlink("loop-a", dir.File("loop-b"));
    EXPECT_FALSE(WriteFileAtomically(dir.File("loop-a"), "x", &error));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("loop-a")));
}

TEST(WriteFileAtomically, FileNameAtTheLengthLimitSaves) {
    TempDir dir;
    const std::string path = dir.File(std::string(kMaxFileNameBytes - 4, 'x') + ".csv");
    std::string error;
    ASSERT_TRUE(WriteFileAtomically(path, "first", &error)) << error;
    ASSERT_TRUE(WriteFileAtomically(path, "second", &error)) << error;
    EXPECT_EQ(ReadBytes(path), "second");
    EXPECT_EQ(dir.EntryCount(), 1u);
}

TEST(WriteFileAtomically, LeftoversOfKilledWritersGoLivingWritersStay) {
    TempDir dir;
    const pid_t dead = fork();
    if (dead == 0) {
        _exit(0);
    }
    ASSERT_GT(dead, 0);
    waitpid(dead, nullptr, 0);
    const pid_t living = fork();
    if (living == 0) {
        pause();
        _exit(0);
    }
    ASSERT_GT(living, 0);
    const uint32_t deadWriter = static_cast<uint32_t>(dead);
    const uint32_t livingWriter = static_cast<uint32_t>(living);

    const std::string longName = std::string(kMaxFileNameBytes - 4, 'y') + ".ini";
    const std::vector<std::string> gone = {
        TemporaryFileName("data.csv", deadWriter, 1),
        TemporaryFileName("data.csv", deadWriter, 27),
        TemporaryFileName(longName, deadWriter, 0),
    };
    const std::vector<std::string> kept = {
        TemporaryFileName("data.csv", livingWriter, 0),
        TemporaryFileName("data.csv", static_cast<uint32_t>(getpid()), 999),  // this process
        TemporaryFileName("other.csv", deadWriter, 0),                        // another file's
        "data.csv.tmp-x-1",
        "data.csv.tmp-" + std::to_string(deadWriter) + "-",
        "data.csv.tmp-" + std::to_string(deadWriter) + "-1.bak",
        "data.csv.bak",
    };
    for (const std::string& name : {std::string("data.csv"), longName}) {
        WriteBytes(dir.File(name), "old");  // without the file a leftover may be its only copy
    }
    for (const std::string& name : gone) {
        WriteBytes(dir.File(name), "left behind");
    }
    for (const std::string& name : kept) {
        WriteBytes(dir.File(name), "someone's");
    }
    const bool written = WriteFileAtomically(dir.File("data.csv"), "a", nullptr) &&
                         WriteFileAtomically(dir.File(longName), "b", nullptr);
    kill(living, SIGKILL);
    waitpid(living, nullptr, 0);
    ASSERT_TRUE(written);
    for (const std::string& name : gone) {
        EXPECT_FALSE(std::filesystem::exists(dir.File(name))) << name;
    }
    for (const std::string& name : kept) {
        EXPECT_TRUE(std::filesystem::exists(dir.File(name))) << name;
    }
    EXPECT_EQ(dir.EntryCount(), kept.size() + 2);
}
