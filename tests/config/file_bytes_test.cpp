#include "config/file_bytes.h"

#include <gtest/gtest.h>

#include <cstring>

#include "config/file_read_steps.h"

namespace {

/// A file the system says is small, which keeps giving bytes while it is read (another
/// program appending to it, or a file system that reports no size).
class GrowingFile final : public FileReadSteps {
public:
    std::size_t reads = 0;
    bool closed = false;

    StepOutcome Open(const std::string&, FileHandle* file) override {
        *file = 3;
        return {};
    }
    StepOutcome Inspect(FileHandle, OpenFileKind* kind) override {
        *kind = {OpenFileKind::What::Regular, 10};
        return {};
    }
    StepOutcome Read(FileHandle, char* buffer, std::size_t capacity, std::size_t* count) override {
        ++reads;
        std::memset(buffer, 'x', capacity);
        *count = capacity;
        return {};
    }
    void Close(FileHandle) override { closed = true; }
};

}  // namespace

TEST(ReadFileBytes, AFileGrowingPastTheLimitWhileItIsReadIsRefused) {
    GrowingFile steps;
    std::string bytes = "before";
    std::string error;
    EXPECT_EQ(ReadFileBytes("growing.ini", 10000, &bytes, &error, steps), ReadFileResult::Failed);
    EXPECT_EQ(bytes, "");
    EXPECT_NE(error.find("larger than 10000 bytes"), std::string::npos) << error;
    EXPECT_EQ(steps.reads, 3u);  // 4096-byte reads: the third passes the limit
    EXPECT_TRUE(steps.closed);
}
