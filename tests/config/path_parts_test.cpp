#include "config/path_parts.h"

#include <gtest/gtest.h>

TEST(PathParts, SplitsIntoFolderAndFileName) {
    EXPECT_EQ(FileNamePart("C:\\Prog\\fumilink.exe", "\\/:"), "fumilink.exe");
    EXPECT_EQ(FileNamePart("C:fumilink.exe", "\\/:"), "fumilink.exe");
    EXPECT_EQ(DirectoryPart("C:\\Prog\\fumilink.exe", "\\/:"), "C:\\Prog\\");
    EXPECT_EQ(FileNamePart("fumilink", "/"), "fumilink");
    EXPECT_EQ(DirectoryPart("fumilink", "/"), "");
}
