#include "app/locale_text.h"

#include <gtest/gtest.h>

TEST(LocaleText, PosixLocaleNamesMapByLanguageAndTerritory) {
    EXPECT_EQ(LocaleTextFromPosixLocale("de_DE"), "00000407");
    EXPECT_EQ(LocaleTextFromPosixLocale("de_DE.UTF-8"), "00000407");
    EXPECT_EQ(LocaleTextFromPosixLocale("de_DE@euro"), "00000407");
    EXPECT_EQ(LocaleTextFromPosixLocale("en_US.UTF-8"), "00000409");
    EXPECT_EQ(LocaleTextFromPosixLocale("it_IT.ISO-8859-1"), "00000410");
    EXPECT_EQ(LocaleTextFromPosixLocale("sv_SE.UTF-8"), "0000041D");
    for (const char* other :
         {"de_AT.UTF-8", "de", "en_GB", "C", "POSIX", "C.UTF-8", "", "de_DEX", "xde_DE"}) {
        EXPECT_EQ(LocaleTextFromPosixLocale(other), "") << other;
    }
}

TEST(LocaleText, FirstNonEmptyVariableDecides) {
    EXPECT_EQ(LocaleTextFromEnvironment("it_IT.UTF-8", "de_DE.UTF-8", "en_US.UTF-8"), "00000410");
    EXPECT_EQ(LocaleTextFromEnvironment("", "de_DE.UTF-8", "en_US.UTF-8"), "00000407");
    EXPECT_EQ(LocaleTextFromEnvironment(nullptr, nullptr, "sv_SE.UTF-8"), "0000041D");
    EXPECT_EQ(LocaleTextFromEnvironment("C", "de_DE.UTF-8", "de_DE.UTF-8"), "");
    EXPECT_EQ(LocaleTextFromEnvironment(nullptr, "", nullptr), "");
}

TEST(AlreadyRunningMessage, OneMessagePerLocaleComparedExactly) {
    EXPECT_EQ(AlreadyRunningMessage("00000407"),
              "Programm l\xE4uft schon auf diesem Arbeitsplatz!");
    EXPECT_EQ(AlreadyRunningMessage("00000409"), "Program is already running!");
    EXPECT_EQ(AlreadyRunningMessage("00000410"), "Programma gi\xE0 che funziona!");
    EXPECT_EQ(AlreadyRunningMessage("0000041D"), "Program is already running!");
    for (const char* other : {"0000041d", "", "00000408", "00000407 ", "407"}) {
        EXPECT_EQ(AlreadyRunningMessage(other), "Program already running!") << other;
    }
}

TEST(ApplicationTitle, FileNameUpToTheFirstPointWithLaterLettersLowered) {
    EXPECT_EQ(ApplicationTitle("FUMILINK.EXE"), "Fumilink");
    EXPECT_EQ(ApplicationTitle("fumilink.exe"), "fumilink");
    EXPECT_EQ(ApplicationTitle("FumiLink.v2.exe"), "Fumilink");
    EXPECT_EQ(ApplicationTitle("fumilink"), "fumilink");
    EXPECT_EQ(ApplicationTitle("\xC4RGER\xC4.EXE"), "\xC4rger\xE4");  // umlauts lowered too
    EXPECT_EQ(ApplicationTitle(".EXE"), "");
    EXPECT_EQ(ApplicationTitle(""), "");
}
