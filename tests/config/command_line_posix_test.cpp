#include "config/command_line.h"

#include <gtest/gtest.h>

TEST(CommandLineArguments, HeaderAndParameterBecomeWindows1252ThePathStays) {
    const char* argv[] = {"/usr/bin/fumilink", "m\xC3\xBCller", "/ART=\xC3\xA4",
                          "/tmp/\xC3\xBC.csv", "extra"};
    std::vector<std::string> arguments = CommandLineArguments(5, argv);
    ASSERT_EQ(arguments.size(), 4u);
    EXPECT_EQ(arguments[0], "m\xFCller");
    EXPECT_EQ(arguments[1], "/ART=\xE4");
    EXPECT_EQ(arguments[2], "/tmp/\xC3\xBC.csv");
    EXPECT_EQ(arguments[3], "extra");
    EXPECT_EQ(ReadCommandLine(arguments).headerLine, "M\xFCLLER");
    EXPECT_TRUE(CommandLineArguments(1, argv).empty());
}

TEST(CommandLineArguments, ArgumentsThatAreNotUtf8AreTakenAsWindows1252) {
    // A caller on Linux that passes Windows-1252 bytes: 0xFC is u umlaut, 0x80 the euro sign.
    const char* argv[] = {"fumilink", "M\xFCller \x80", "/ART=\xE4x", "/tmp/\xFC.csv"};
    std::vector<std::string> arguments = CommandLineArguments(4, argv);
    ASSERT_EQ(arguments.size(), 3u);
    EXPECT_EQ(arguments[0], "M\xFCller \x80");
    EXPECT_EQ(arguments[1], "/ART=\xE4x");
    EXPECT_EQ(arguments[2], "/tmp/\xFC.csv");
    EXPECT_EQ(ReadCommandLine(arguments).headerLine, "M\xFCLLER \x80");
}
