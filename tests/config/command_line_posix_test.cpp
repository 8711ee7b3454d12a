#include "config/command_line.h"

#include <gtest/gtest.h>

TEST(CommandLineArguments, HeaderAndParameterBecomeWindows1252ThePathStays) {
    const char* argv[] = {"/usr/bin/fumilink", "m\xC3\xBCller", "/ART=\xC3\xA4",
                          "/tmp/\xC3\xBC.csv", "extra"};
    const ProgramArguments given = CommandLineArguments(5, argv);
    EXPECT_FALSE(given.demo);
    const std::vector<std::string>& arguments = given.arguments;
    ASSERT_EQ(arguments.size(), 4u);
    EXPECT_EQ(arguments[0], "m\xFCller");
    EXPECT_EQ(arguments[1], "/ART=\xE4");
    EXPECT_EQ(arguments[2], "/tmp/\xC3\xBC.csv");
    EXPECT_EQ(arguments[3], "extra");
    EXPECT_EQ(ReadCommandLine(arguments).headerLine, "M\xFCLLER");
    EXPECT_TRUE(CommandLineArguments(1, argv).arguments.empty());
}

TEST(CommandLineArguments, ArgumentsThatAreNotUtf8AreTakenAsWindows1252) {
    // A caller on Linux that passes Windows-1252 bytes: 0xFC is u umlaut, 0x80 the euro sign.
    const char* argv[] = {"fumilink", "M\xFCller \x80", "/ART=\xE4x", "/tmp/\xFC.csv"};
    const std::vector<std::string> arguments = CommandLineArguments(4, argv).arguments;
    ASSERT_EQ(arguments.size(), 3u);
    EXPECT_EQ(arguments[0], "M\xFCller \x80");
    EXPECT_EQ(arguments[1], "/ART=\xE4x");
    EXPECT_EQ(arguments[2], "/tmp/\xFC.csv");
    EXPECT_EQ(ReadCommandLine(arguments).headerLine, "M\xFCLLER \x80");
}

TEST(CommandLineArguments, TheDemoSwitchKeepsItsOptionsAsTheSystemGaveThem) {
    // A log path in the options is a file name: its UTF-8 must not become Windows-1252, and
    // the header after the switch still must.
    const char* argv[] = {"fumilink", "--demo=--log /tmp/d\xC3\xBC.log", "m\xC3\xBCller", "/ART=7",
                          "/tmp/o.csv"};
    const ProgramArguments given = CommandLineArguments(5, argv);
    EXPECT_EQ(given.demo, "--log /tmp/d\xC3\xBC.log");
    EXPECT_EQ(given.arguments, (std::vector<std::string>{"m\xFCller", "/ART=7", "/tmp/o.csv"}));
}
