#include "config/command_line.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "config/mean_request.h"

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
        std::optional<std::string> mean = std::nullopt;
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
        // The mean's switch stands in front too, before or after the demo's.
        {{"--mean=30", "h", "/ART=1", "p"}, std::nullopt, {"h", "/ART=1", "p"}, "30"},
        {{"--demo", "--mean=0", "h"}, "1", {"h"}, "0"},
        {{"--mean=x", "--demo=--steady", "h"}, "--steady", {"h"}, "x"},
        {{"--mean", "h"}, std::nullopt, {"h"}, ""},
        {{"--mean=30", "--mean=60", "h"}, std::nullopt, {"--mean=60", "h"}, "30"},
        {{"h", "--mean=30", "p"}, std::nullopt, {"h", "--mean=30", "p"}},
        {{"--meaning", "h"}, std::nullopt, {"--meaning", "h"}},
    };
    for (const auto& c : cases) {
        const ProgramArguments prepared = PrepareArguments(c.given);
        EXPECT_EQ(prepared.demo, c.demo) << c.given.front();
        EXPECT_EQ(prepared.arguments, c.positional) << c.given.front();
        EXPECT_EQ(prepared.mean, c.mean) << c.given.front();
    }
    const CommandLine line =
        ReadCommandLine(PrepareArguments({"--demo", "ab", "/ART=14", "m.txt"}).arguments);
    EXPECT_EQ(line.headerLine, "AB");
    EXPECT_EQ(line.firingTypeParameter, "14");
    EXPECT_EQ(line.transferFilePath, "m.txt");
}

TEST(MeanRequest, SwitchAndSettingsFileValues) {
    const struct {
        std::string text;
        std::optional<int> seconds;
    } cases[] = {
        {"30", 30}, {"0", 0},    {"5", 5},     {"300", 300},        {" 60 ", 60},
        {"4", {}},  {"301", {}}, {"-30", {}},  {"30s", {}},         {"3,5", {}},
        {"", {}},   {" ", {}},   {"0030", {}}, {"99999999999", {}}, {"+30", {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseMeanSeconds(c.text), c.seconds) << '"' << c.text << '"';
    }
}

TEST(MeanRequest, TheSwitchWinsOverTheSettingsFile) {
    const struct {
        std::optional<int> switchSeconds;
        std::string setting;
        int seconds;
        MeanSource source;
        std::string refused;
    } cases[] = {
        {std::nullopt, "", 0, MeanSource::None, ""},
        {std::nullopt, "30", 30, MeanSource::SettingsFile, ""},
        {std::nullopt, "0", 0, MeanSource::SettingsFile, ""},
        {std::nullopt, "1000", 0, MeanSource::None, "1000"},
        {60, "30", 60, MeanSource::Switch, ""},
        {0, "30", 0, MeanSource::Switch, ""},  // --mean=0: off for this run
        {45, "nonsense", 45, MeanSource::Switch, ""},
    };
    for (const auto& c : cases) {
        const MeanChoice choice = ChooseMean(c.switchSeconds, c.setting);
        EXPECT_EQ(choice.seconds, c.seconds) << c.setting;
        EXPECT_EQ(choice.source, c.source) << c.setting;
        EXPECT_EQ(choice.refusedSetting, c.refused) << c.setting;
    }
}
