#include "config/text_form.h"

#include <gtest/gtest.h>

// What nobody changes comes back byte for byte, also where the UTF-16 is not well formed
// (a surrogate without its partner), and a pair is one character in between.
TEST(FileText, Utf16LeComesBackAsItWas) {
    const std::string pair(
        "\xFF\xFE"
        "A\0"
        "\x3D\xD8\x25\xDD"
        "B\0",
        10);
    EXPECT_EQ(DecodeFileText(pair).text,
              "A\xF0\x9F\x94\xA5"
              "B");
    const std::string unpaired(
        "\xFF\xFE"
        "\x3D\xD8"
        "A\0"
        "\x25\xDD",
        8);
    for (const std::string& bytes : {pair, unpaired}) {
        const FileText text = DecodeFileText(bytes);
        EXPECT_EQ(text.form, TextForm::Utf16LeWithMark);
        EXPECT_EQ(EncodeFileText(text), bytes);
    }
    // An odd last byte is no character.
    EXPECT_EQ(DecodeFileText(std::string("\xFF\xFE"
                                         "A\0"
                                         "B",
                                         5))
                  .text,
              "A");
}

TEST(FileText, OnlyAMarkAtTheStartMakesAUnicodeForm) {
    EXPECT_EQ(DecodeFileText("\xEF\xBB\xBF[Main]").form, TextForm::Utf8WithMark);
    EXPECT_EQ(DecodeFileText("\xEF\xBB\xBF[Main]").text, "[Main]");
    for (const char* ansi : {"[Main]\r\n\xEF\xBB\xBF", "\xEF\xBB", "\xFF", "\xFE\xFF[", ""}) {
        const FileText text = DecodeFileText(ansi);
        EXPECT_EQ(text.form, TextForm::Ansi) << ansi;
        EXPECT_EQ(EncodeFileText(text), ansi);
    }
}
