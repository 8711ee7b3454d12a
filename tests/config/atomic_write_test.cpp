#include "config/atomic_write.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "config/temporary_file_name.h"
#include "tests/config/forwarding_file_replace_steps.h"
#include "tests/support/temp_dir.h"

using namespace std::chrono_literals;

namespace {

StepOutcome Busy(const std::string&, const std::string&) {
    return {StepResult::Busy, 32};
}

}  // namespace

TEST(WriteFileAtomically, CreatesAndReplacesFilesWithExactBytes) {
    TempDir dir;
    const std::string path = dir.File("data.csv");
    std::string error;
    const std::string first("AB12\r\n\x00\xFF\r\n", 10);
    ASSERT_TRUE(WriteFileAtomically(path, first, &error)) << error;
    EXPECT_EQ(ReadBytes(path), first);

    ASSERT_TRUE(WriteFileAtomically(path, "short\r\n", &error)) << error;
    EXPECT_EQ(ReadBytes(path), "short\r\n");

    ASSERT_TRUE(WriteFileAtomically(path, "", &error)) << error;
    EXPECT_EQ(ReadBytes(path), "");
    EXPECT_EQ(dir.EntryCount(), 1u);  // no temporary left beside it
}

TEST(WriteFileAtomically, FailedReplaceKeepsTheOldContentAndLeavesNoTemporary) {
    TempDir dir;
    // A non-empty folder cannot be replaced by a file: the rename fails after the new
    // content was written completely.
    const std::string path = dir.File("target");
    std::filesystem::create_directory(path);
    WriteBytes(path + "/inside", "old");
    std::string error;
    EXPECT_FALSE(WriteFileAtomically(path, "new content", &error));
    EXPECT_NE(error.find("target"), std::string::npos) << error;
    EXPECT_TRUE(std::filesystem::is_directory(path));
    EXPECT_EQ(ReadBytes(path + "/inside"), "old");
    EXPECT_EQ(dir.EntryCount(), 1u);
}

TEST(WriteFileAtomically, MissingFolderAndEmptyPathFailCleanly) {
    TempDir dir;
    std::string error;
    EXPECT_FALSE(WriteFileAtomically(dir.File("no/such/folder/data.csv"), "x", &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(dir.EntryCount(), 0u);

    error.clear();
    EXPECT_FALSE(WriteFileAtomically("", "x", &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(WriteFileAtomically("", "x", nullptr));  // no error text wanted
}

TEST(TemporaryFileName, StaysWithinTheLimitAndIsRecognisedForItsFileOnly) {
    const std::string longest(kMaxFileNameBytes, 'z');
    const std::string name = TemporaryFileName(longest, 4294967295u, 4294967295u);
    EXPECT_LE(name.size(), kMaxFileNameBytes);
    EXPECT_EQ(TemporaryFileWriter(name, longest), 4294967295u);
    EXPECT_EQ(TemporaryFileName("data.csv", 812, 3), "data.csv.tmp-812-3");
    EXPECT_EQ(TemporaryFileWriter("data.csv.tmp-812-3", "data.csv"), 812u);
    for (const char* other :
         {"data.csv", "data.csv.tmp-", "data.csv.tmp-812", "data.csv.tmp-812-", "data.csv.tmp--3",
          "data.csv.tmp-0812-3", "data.csv.tmp-+812-3", "data.csv.tmp-4294967296-3",
          "xdata.csv.tmp-812-3", "data.cs.tmp-812-3", "data.csv.tmp-812-3-4"}) {
        EXPECT_EQ(TemporaryFileWriter(other, "data.csv"), std::nullopt) << other;
    }
}

// A scanner or sync client opening the new file for a moment must not fail the take-over.
TEST(WriteFileAtomically, AFileBusyForAMomentIsPutInPlaceOnALaterTry) {
    TempDir dir;
    const std::string path = dir.File("data.csv");
    WriteBytes(path, "old");
    ForwardingFileReplaceSteps steps;
    int busy = 3;
    steps.replace = [&busy](const std::string& temporary, const std::string& target) {
        return busy-- > 0 ? Busy(temporary, target)
                          : NativeFileReplaceSteps().Replace(temporary, target);
    };
    std::string error;
    ASSERT_TRUE(WriteFileAtomically(path, "new", &error, steps)) << error;
    EXPECT_EQ(ReadBytes(path), "new");
    EXPECT_EQ(steps.pauses, 3);
    EXPECT_EQ(dir.EntryCount(), 1u);

    // Busy for good: about a second for the replace and one for the rename, then the old
    // file stays as it was.
    steps.pauses = 0;
    steps.replace = Busy;
    steps.rename = Busy;
    EXPECT_FALSE(WriteFileAtomically(path, "newer", &error, steps));
    EXPECT_EQ(ReadBytes(path), "new");
    EXPECT_EQ(dir.EntryCount(), 1u);
    EXPECT_GE(steps.paused, 1500ms);
    EXPECT_LE(steps.paused, 2500ms);
}

// Windows' ReplaceFile can fail after the old file is gone, the new one still under its
// temporary name.
TEST(WriteFileAtomically, AReplaceThatTookTheOldFileAwayIsNotALoss) {
    TempDir dir;
    const std::string path = dir.File("fumilink.ini");
    WriteBytes(path, "old");
    ForwardingFileReplaceSteps steps;
    steps.replace = [](const std::string&, const std::string& target) {
        std::filesystem::remove(target);
        return StepOutcome{StepResult::TargetGone, 1176};
    };
    std::string error;
    ASSERT_TRUE(WriteFileAtomically(path, "new", &error, steps)) << error;
    EXPECT_EQ(ReadBytes(path), "new");
    EXPECT_EQ(dir.EntryCount(), 1u);

    // Not even the rename can: the temporary file is the only copy, and the next start's
    // clean-up spares it as long as no file stands in its place.
    steps.rename = [](const std::string&, const std::string&) {
        return StepOutcome{StepResult::Failed, 5};
    };
    EXPECT_FALSE(WriteFileAtomically(path, "newer", &error, steps));
    EXPECT_FALSE(std::filesystem::exists(path));
    ASSERT_EQ(dir.EntryCount(), 1u);
    const std::string copy = std::filesystem::directory_iterator(dir.Path())->path().string();
    EXPECT_EQ(ReadBytes(copy), "newer");

    ForwardingFileReplaceSteps nextStart;
    nextStart.processId = 1;
    ASSERT_TRUE(WriteFileAtomically(path, "next", &error, nextStart)) << error;
    EXPECT_EQ(ReadBytes(copy), "newer");
    ASSERT_TRUE(WriteFileAtomically(path, "again", &error, nextStart)) << error;
    EXPECT_FALSE(std::filesystem::exists(copy));
    EXPECT_EQ(dir.EntryCount(), 1u);
}

namespace {

/// An existing "data.csv" with "old" in it, and steps that tests make refuse.
class WriteFileAtomicallyOver : public ::testing::Test {
protected:
    void SetUp() override { WriteBytes(path, "old"); }

    TempDir dir;
    const std::string path = dir.File("data.csv");
    ForwardingFileReplaceSteps steps;
    std::string error;
};

}  // namespace

// The calling program, an editor or a sync client keeps the old file open and lets nobody
// rename it, but shares writing: the measurement still reaches the caller, written in
// place after about a second of tries, and nothing is created beside it.
TEST_F(WriteFileAtomicallyOver, AFileHeldOpenAgainstRenamingIsWrittenInPlace) {
    steps.mayReplace = [](const std::string&) { return StepOutcome{StepResult::InUse, 32}; };
    int moves = 0;
    steps.replace = steps.rename = [&moves](const std::string&, const std::string&) {
        ++moves;
        return StepOutcome{StepResult::InUse, 32};
    };
    ASSERT_TRUE(WriteFileAtomically(path, "new", &error, steps)) << error;
    EXPECT_EQ(ReadBytes(path), "new");
    EXPECT_EQ(dir.EntryCount(), 1u);
    EXPECT_EQ(moves, 0);
    EXPECT_GE(steps.paused, 900ms);
    EXPECT_LE(steps.paused, 1100ms);

    // Taken hold of only after the look: the replace is refused for good. The temporary
    // file goes, no rename is tried (it would lose what the replace keeps, and be refused
    // as well), and the file is written in place.
    steps.mayReplace = nullptr;
    steps.pauses = 0;
    ASSERT_TRUE(WriteFileAtomically(path, "newer", &error, steps)) << error;
    EXPECT_EQ(ReadBytes(path), "newer");
    EXPECT_EQ(dir.EntryCount(), 1u);
    EXPECT_EQ(moves, 11);
    EXPECT_EQ(steps.pauses, 10);
}

// A scanner that has the old file open for a moment refuses the replace as in use (or, on
// Windows, as "unable to remove the replaced file"); a later try succeeds, and the plain
// rename, which would lose the replaced file's access rights, is never needed.
TEST_F(WriteFileAtomicallyOver, AReplaceRefusedAsInUseForAMomentIsTriedAgain) {
    int refusals = 2;
    steps.replace = [&refusals](const std::string& temporary, const std::string& target) {
        return refusals-- > 0 ? StepOutcome{StepResult::InUse, 1175}
                              : NativeFileReplaceSteps().Replace(temporary, target);
    };
    steps.rename = [](const std::string&, const std::string&) {
        ADD_FAILURE() << "renamed instead of replaced";
        return StepOutcome{StepResult::Failed, 0};
    };
    ASSERT_TRUE(WriteFileAtomically(path, "new", &error, steps)) << error;
    EXPECT_EQ(ReadBytes(path), "new");
    EXPECT_EQ(steps.pauses, 2);
    EXPECT_EQ(dir.EntryCount(), 1u);
}

TEST_F(WriteFileAtomicallyOver, AFailedWriteLeavesTheOldFileAndNoTemporary) {
    steps.write = [](FileHandle, std::string_view) { return StepOutcome{StepResult::Failed, 28}; };
    EXPECT_FALSE(WriteFileAtomically(path, "new", &error, steps));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(ReadBytes(path), "old");
    EXPECT_EQ(dir.EntryCount(), 1u);
    EXPECT_FALSE(WriteFileAtomically(dir.File("fresh.csv"), "new", &error, steps));
    EXPECT_EQ(dir.EntryCount(), 1u);
}
