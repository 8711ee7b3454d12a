#include "config/command_line.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

TEST(ReadCommandLine, NoArgumentsWriteDataCsvWithoutHeader) {
    CommandLine line = ReadCommandLine({});
    EXPECT_EQ(line.headerLine, "");
    EXPECT_EQ(line.firingTypeParameter, "");
    EXPECT_EQ(line.transferFilePath, "data.csv");
}

TEST(ReadCommandLine, ThreeArgumentsFromTheCallingProgram) {
    CommandLine line = ReadCommandLine({"ab12", "/ART=14", "C:\\out\\m.txt", "ignored"});
    EXPECT_EQ(line.headerLine, "AB12");
    EXPECT_EQ(line.firingTypeParameter, "14");
    EXPECT_EQ(line.transferFilePath, "C:\\out\\m.txt");
}

TEST(ReadCommandLine, ParameterStartsAtTheSixthCharacterWhateverThePrefix) {
    EXPECT_EQ(ReadCommandLine({"h", "/ART=", "p"}).firingTypeParameter, "");
    EXPECT_EQ(ReadCommandLine({"h", "/ART", "p"}).firingTypeParameter, "");
    EXPECT_EQ(ReadCommandLine({"h", "", "p"}).firingTypeParameter, "");
    EXPECT_EQ(ReadCommandLine({"h", "xxxxx7", "p"}).firingTypeParameter, "7");
    EXPECT_EQ(ReadCommandLine({"h", "/ART=1 4", "p"}).firingTypeParameter, "1 4");
}

TEST(ReadCommandLine, OneOrTwoArgumentsLeaveThePathEmpty) {
    CommandLine one = ReadCommandLine({"kopf"});
    EXPECT_EQ(one.headerLine, "KOPF");
    EXPECT_EQ(one.firingTypeParameter, "");
    EXPECT_EQ(one.transferFilePath, "");
    CommandLine two = ReadCommandLine({"kopf", "/ART=7"});
    EXPECT_EQ(two.firingTypeParameter, "7");
    EXPECT_EQ(two.transferFilePath, "");
}

TEST(ReadCommandLine, HeaderUpperCasesOnlyAsciiLetters) {
    // Windows-1252: a/o/u umlaut, sharp s, e acute stay exactly as passed.
    CommandLine line =
        ReadCommandLine({"m\xFCller stra\xDF"
                         "e \xE4\xF6 caf\xE9 x-1,5",
                         "/ART=14", "p"});
    EXPECT_EQ(line.headerLine,
              "M\xFCLLER STRA\xDF"
              "E \xE4\xF6 CAF\xE9 X-1,5");
}

TEST(ReadCommandLine, LineBreaksInHeaderAndFiringTypeBecomeBlanks) {
    // Each is one line of the transfer file; the caller's line break must not split it.
    const CommandLine line = ReadCommandLine({"line1\nline2\r\nx\r", "/ART=1\r\n4\n", "p"});
    EXPECT_EQ(line.headerLine, "LINE1 LINE2  X ");
    EXPECT_EQ(line.firingTypeParameter, "1  4 ");
}

TEST(PrepareArguments, TheDemoSwitchInFrontShiftsNoPositionalArgument) {
    const struct {
        std::vector<std::string> given;
        std::optional<std::string> demo;
        std::vector<std::string> positional;
    } cases[] = {
        {{"--demo", "Kopf", "/ART=14", "out.csv"}, "1", {"Kopf", "/ART=14", "out.csv"}},
        {{"--demo"}, "1", {}},
        {{"--demo=", "Kopf"}, "1", {"Kopf"}},
        {{"--demo=--port 7 --steady", "h", "/ART=1", "p"},
         "--port 7 --steady",
         {"h", "/ART=1", "p"}},
        // Anywhere else it is what its place makes it: a header, a path, ignored.
        {{"Kopf", "--demo", "out.csv"}, std::nullopt, {"Kopf", "--demo", "out.csv"}},
        {{"h", "/ART=1", "p", "--demo"}, std::nullopt, {"h", "/ART=1", "p", "--demo"}},
        {{"--demonstration", "/ART=1", "p"}, std::nullopt, {"--demonstration", "/ART=1", "p"}},
        {{"--Demo", "/ART=1", "p"}, std::nullopt, {"--Demo", "/ART=1", "p"}},
    };
    for (const auto& c : cases) {
        const ProgramArguments prepared = PrepareArguments(c.given);
        EXPECT_EQ(prepared.demo, c.demo) << c.given.front();
        EXPECT_EQ(prepared.arguments, c.positional) << c.given.front();
    }
    const CommandLine line =
        ReadCommandLine(PrepareArguments({"--demo", "ab", "/ART=14", "m.txt"}).arguments);
    EXPECT_EQ(line.headerLine, "AB");
    EXPECT_EQ(line.firingTypeParameter, "14");
    EXPECT_EQ(line.transferFilePath, "m.txt");
}
