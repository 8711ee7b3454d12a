// The safe replace against what Windows programs do to a file: one that holds it open
// without sharing, as a virus scanner does for a moment after it was written.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "config/atomic_write.h"
#include "config/move_failure_win32.h"
#include "config/wide_path_win32.h"
#include "tests/config/forwarding_file_replace_steps.h"
#include "tests/support/temp_dir.h"

namespace {

/// The names in the folder, each followed by a blank.
std::string Entries(const TempDir& dir) {
    std::string names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
        names += entry.path().filename().string() + " ";
    }
    return names;
}

}  // namespace

TEST(WriteFileAtomically, AFileHeldOpenByAnotherProgramIsReplacedWhenItLetsGo) {
    TempDir dir;
    const std::string path = dir.Path() + "\\data.csv";
    WriteBytes(path, "old");
    HANDLE holder = CreateFileW(Utf8ToUtf16(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    ForwardingFileReplaceSteps steps;
    steps.pause = [&holder] {
        if (holder != INVALID_HANDLE_VALUE) {
            CloseHandle(holder);
            holder = INVALID_HANDLE_VALUE;
        }
    };
    std::string error;
    const bool written = WriteFileAtomically(path, "new", &error, steps);
    steps.pause();
    ASSERT_TRUE(written) << error;
    EXPECT_EQ(steps.pauses, 1);
    EXPECT_EQ(ReadBytes(path), "new");
    EXPECT_EQ(Entries(dir), "data.csv ");
}

// The calling program keeps the old file open for reading and writing, without delete
// sharing, all along: the file is written in place, and the folder holds nothing else (no
// temporary file of ours, nor one of Wine's ReplaceFileW).
TEST(WriteFileAtomically, AFileItsHolderKeepsOpenForWritingIsWrittenInPlace) {
    TempDir dir;
    const std::string path = dir.Path() + "\\data.csv";
    WriteBytes(path, "old content");
    HANDLE holder =
        CreateFileW(Utf8ToUtf16(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    std::string error;
    EXPECT_TRUE(WriteFileAtomically(path, "new", &error)) << error;
    EXPECT_TRUE(WriteFileAtomically(path, "newer", &error)) << error;
    char seen[16] = {};
    DWORD count = 0;
    EXPECT_TRUE(ReadFile(holder, seen, sizeof seen, &count, nullptr));
    CloseHandle(holder);
    EXPECT_EQ(std::string(seen, count), "newer");
    EXPECT_EQ(Entries(dir), "data.csv ");
}

TEST(MoveFailureOutcome, TellsWhatIsWorthAnotherTry) {
    const struct {
        unsigned long code;
        StepResult result;
    } cases[] = {
        {ERROR_SHARING_VIOLATION, StepResult::InUse},
        {ERROR_UNABLE_TO_REMOVE_REPLACED, StepResult::InUse},
        {ERROR_ACCESS_DENIED, StepResult::Busy},
        {ERROR_LOCK_VIOLATION, StepResult::Busy},
        {ERROR_UNABLE_TO_MOVE_REPLACEMENT, StepResult::TargetGone},
        {ERROR_UNABLE_TO_MOVE_REPLACEMENT_2, StepResult::TargetGone},
        {ERROR_DISK_FULL, StepResult::Failed},
    };
    for (const auto& c : cases) {
        const StepOutcome outcome = MoveFailureOutcome(c.code);
        EXPECT_EQ(outcome.result, c.result) << c.code;
        EXPECT_EQ(outcome.systemError, static_cast<long>(c.code));
    }
}
