// The safe replace against what Windows programs do to a file: one that holds it open
// without sharing, as a virus scanner does for a moment after it was written.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "config/atomic_write.h"
#include "config/move_failure_win32.h"
#include "config/temporary_file_name.h"
#include "config/wide_path_win32.h"
#include "tests/config/forwarding_file_replace_steps.h"
#include "tests/support/temp_dir.h"

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
    // (Wine's ReplaceFileW leaves an empty "rf*.tmp" of its own after the refused try.)
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
        const std::string name = entry.path().filename().string();
        EXPECT_FALSE(TemporaryFileWriter(name, "data.csv").has_value()) << name;
    }
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
