#include "config/atomic_write.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "config/temporary_file_name.h"

#include "tests/support/temp_dir.h"

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
