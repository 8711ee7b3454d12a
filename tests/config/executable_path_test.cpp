#include "config/executable_path.h"

#include <gtest/gtest.h>

#include "config/path_parts.h"

TEST(ExecutablePath, NamesTheRunningProgram) {
    EXPECT_EQ(ExecutableFileName(), FUMILINK_TEST_FILE_NAME);
    EXPECT_EQ(ExecutableDirectory() + ExecutableFileName(), ExecutablePath());
    EXPECT_NE(PathSeparators().find(ExecutableDirectory().back()), std::string_view::npos);
}
