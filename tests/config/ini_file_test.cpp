#include "config/ini_file.h"

#include <gtest/gtest.h>

TEST(IniFile, UnchangedDocumentSerialisesByteForByte) {
    const std::string bytes =
        "; written by the installer\r\n"
        "[Other]\r\n"
        "Path=C:\\Programme\\x\r\n"
        "\r\n"
        "[Main]\r\n"
        "comport=5\r\n"
        "SerNr=ZOR GX40 SN42\r\n";
    EXPECT_EQ(IniFile::Parse(bytes).Serialize(), bytes);
}

TEST(IniFile, AcceptsLfAndCrLfAndALastLineWithoutEnd) {
    IniFile file = IniFile::Parse("[Main]\ncomport=3\r\nSerNr=abc");
    EXPECT_EQ(file.Value("Main", "comport"), "3");
    EXPECT_EQ(file.Value("Main", "SerNr"), "abc");
    EXPECT_EQ(file.Serialize(), "[Main]\ncomport=3\r\nSerNr=abc");
    EXPECT_EQ(IniFile::Parse("").Serialize(), "");
}

TEST(IniFile, SettingKeysChangesOnlyTheirLinesAndKeepsEveryLineEnd) {
    // Mixed line ends, a stray CR inside a line and no line end at the very end: all of it
    // is somebody's file and must come back byte for byte.
    const std::string before =
        "; kept\n"
        "[Other]\r\n"
        "a=1\rb\n"
        "[Main]\n"
        "comport=1\r\n"
        "x=y";
    IniFile file = IniFile::Parse(before);
    EXPECT_EQ(file.Serialize(), before);
    file.SetValue("Main", "comport", "12");
    EXPECT_EQ(file.Serialize(),
              "; kept\n"
              "[Other]\r\n"
              "a=1\rb\n"
              "[Main]\n"
              "comport=12\r\n"
              "x=y");
    // A new key goes after the last line, which first gets the file's line end.
    file.SetValue("Main", "SerNr", "SN42");
    EXPECT_EQ(file.Serialize(),
              "; kept\n"
              "[Other]\r\n"
              "a=1\rb\n"
              "[Main]\n"
              "comport=12\r\n"
              "x=y\n"
              "SerNr=SN42\n");
}

TEST(IniFile, NamesMatchIgnoringCaseAndSurroundingBlanks) {
    IniFile file = IniFile::Parse("  [ main ]  \r\n\tCOMPORT =  7 \t\r\n");
    EXPECT_TRUE(file.HasSection("Main"));
    EXPECT_TRUE(file.HasSection("MAIN"));
    EXPECT_EQ(file.Value("Main", "comport"), "7");
    EXPECT_EQ(file.Value("mAiN", "ComPort"), "7");
    EXPECT_FALSE(file.HasSection("Mai"));
    EXPECT_EQ(file.Value("Main", "comport2"), std::nullopt);
}

TEST(IniFile, ValuesAreTakenVerbatimAfterTheFirstEquals) {
    IniFile file = IniFile::Parse(
        "[Main]\r\n"
        "list=a,b, c\r\n"
        "quoted=\"ZOR GX40\"\r\n"
        "path=C:\\out\\m.txt\r\n"
        "equation=x=1\r\n"
        "umlaut=Gr\xF6\xDF"
        "e\r\n"
        "empty=\r\n");
    EXPECT_EQ(file.Value("Main", "list"), "a,b, c");
    EXPECT_EQ(file.Value("Main", "quoted"), "\"ZOR GX40\"");
    EXPECT_EQ(file.Value("Main", "path"), "C:\\out\\m.txt");
    EXPECT_EQ(file.Value("Main", "equation"), "x=1");
    EXPECT_EQ(file.Value("Main", "umlaut"),
              "Gr\xF6\xDF"
              "e");
    EXPECT_EQ(file.Value("Main", "empty"), "");
    EXPECT_EQ(file.ReadString("Main", "empty", "1"), "");
    EXPECT_EQ(file.ReadString("Main", "missing", "1"), "1");
}

TEST(IniFile, LookupStaysInsideItsSectionAndTheFirstMatchWins) {
    IniFile file = IniFile::Parse(
        "comport=1\r\n"
        "[Other]\r\n"
        "comport=2\r\n"
        "[Main]\r\n"
        "; comport=3\r\n"
        "no equals sign\r\n"
        "comport=4\r\n"
        "comport=5\r\n"
        "[Main]\r\n"
        "SerNr=late\r\n");
    EXPECT_EQ(file.Value("Main", "comport"), "4");
    EXPECT_EQ(file.Value("Other", "comport"), "2");
    EXPECT_EQ(file.Value("Main", "SerNr"), std::nullopt);  // only the first [Main] counts
}

TEST(IniFile, SettingAnExistingKeyReplacesOnlyThatLine) {
    IniFile file = IniFile::Parse(
        "[Main]\r\n"
        "; remembered port\r\n"
        "ComPort = 1\r\n"
        "SerNr=old\r\n"
        "\r\n"
        "[Other]\r\n"
        "comport=9\r\n");
    file.SetValue("Main", "comport", "12");
    file.SetValue("MAIN", "SerNr", "a,b \"c\" \\d");
    EXPECT_EQ(file.Serialize(),
              "[Main]\r\n"
              "; remembered port\r\n"
              "ComPort=12\r\n"
              "SerNr=a,b \"c\" \\d\r\n"
              "\r\n"
              "[Other]\r\n"
              "comport=9\r\n");
}

TEST(IniFile, MissingKeyGoesToTheEndOfItsSectionBeforeBlankLines) {
    IniFile file = IniFile::Parse(
        "[Main]\r\n"
        "comport=5\r\n"
        "\r\n"
        "[Other]\r\n"
        "x=1\r\n");
    file.SetValue("Main", "SerNr", "SN42");
    file.SetValue("Other", "y", "2");
    EXPECT_EQ(file.Serialize(),
              "[Main]\r\n"
              "comport=5\r\n"
              "SerNr=SN42\r\n"
              "\r\n"
              "[Other]\r\n"
              "x=1\r\n"
              "y=2\r\n");
}

TEST(IniFile, MissingSectionIsAddedAtTheEnd) {
    IniFile file = IniFile::Parse("[Other]\nx=1\n");
    file.SetValue("Main", "comport", "5");
    file.SetValue("Main", "SerNr", "1");
    EXPECT_EQ(file.Serialize(), "[Other]\nx=1\n[Main]\ncomport=5\nSerNr=1\n");

    IniFile empty;
    empty.SetValue("Main", "comport", "5");
    EXPECT_EQ(empty.Serialize(), "[Main]\r\ncomport=5\r\n");
    EXPECT_EQ(IniFile::Parse(empty.Serialize()).Value("Main", "comport"), "5");
}

TEST(IniFile, EmptySectionAtTheEndReceivesItsKeys) {
    IniFile file = IniFile::Parse("[Main]\r\n");
    EXPECT_TRUE(file.HasSection("Main"));
    file.SetValue("Main", "comport", "7");
    EXPECT_EQ(file.Serialize(), "[Main]\r\ncomport=7\r\n");
}
