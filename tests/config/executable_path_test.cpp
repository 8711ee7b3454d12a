#include "config/executable_path.h"

#include <gtest/gtest.h>

TEST(ExecutablePath, SplitsIntoFolderAndFileName) {
    EXPECT_EQ(FileNamePart("C:\\Prog\\fumilink.exe", "\\/:"), "fumilink.exe");
    EXPECT_EQ(FileNamePart("C:fumilink.exe", "\\/:"), "fumilink.exe");
    EXPECT_EQ(DirectoryPart("C:\\Prog\\fumilink.exe", "\\/:"), "C:\\Prog\\");
    EXPECT_EQ(FileNamePart("fumilink", "/"), "fumilink");
    EXPECT_EQ(DirectoryPart("fumilink", "/"), "");
    EXPECT_EQ(ExecutableFileName(), FUMILINK_TEST_FILE_NAME);
    EXPECT_EQ(ExecutableDirectory() + ExecutableFileName(), ExecutablePath());
    EXPECT_NE(PathSeparators().find(ExecutableDirectory().back()), std::string_view::npos);
}
