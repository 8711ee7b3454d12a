#include "data/cp1252.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace std::string_literals;

struct Mapping {
    std::string cp1252;
    std::string utf8;
};

// Both directions of the table, including the bytes where Windows-1252 differs
// from Latin-1 and the undefined ones that keep their C1 control.
const std::vector<Mapping> kMappings = {
    {"A", "A"},           {"\x80", "\u20AC"},  // euro sign
    {"\x8A", "\u0160"},                        // S with caron
    {"\x9F", "\u0178"},                        // Y with diaeresis
    {"\x84", "\u201E"},                        // low double quote
    {"\x96", "\u2013"},                        // en dash
    {"\x99", "\u2122"},                        // trade mark
    {"\x81", "\xC2\x81"}, {"\x8D", "\xC2\x8D"},
    {"\x8F", "\xC2\x8F"}, {"\x90", "\xC2\x90"},
    {"\x9D", "\xC2\x9D"}, {"\xA0", "\xC2\xA0"},
    {"\260C", "\u00B0C"}, {"Gr\374\337e", "Gr\u00FC\u00DFe"},
    {"\xFF", "\u00FF"},   {"\0"s, "\0"s},
};

TEST(Cp1252, ConvertsBothWays) {
    for (const auto& m : kMappings) {
        EXPECT_EQ(Cp1252ToUtf8(m.cp1252), m.utf8);
        EXPECT_EQ(Utf8ToCp1252(m.utf8), m.cp1252);
    }
}

TEST(Cp1252, EveryByteSurvivesTheRoundTrip) {
    std::string all;
    for (int b = 0; b < 256; ++b) {
        all += static_cast<char>(b);
    }
    const std::string utf8 = Cp1252ToUtf8(all);
    EXPECT_EQ(Utf8ToCp1252(utf8), all);
    // Only the 128 ASCII bytes stay one byte long in UTF-8.
    EXPECT_GT(utf8.size(), all.size() + 128);
}

TEST(Cp1252, UnmappableCharactersBecomeQuestionMarks) {
    EXPECT_EQ(Utf8ToCp1252("\u03A9"), "?");          // Greek Omega
    EXPECT_EQ(Utf8ToCp1252("a\U0001F600b"), "a?b");  // outside the BMP
    EXPECT_EQ(Utf8ToCp1252("\xC2\x80"), "?");        // U+0080: its byte means the euro
    EXPECT_EQ(Utf8ToCp1252("\u0100"), "?");          // first code point after Latin-1
}

TEST(Cp1252, MalformedUtf8BecomesQuestionMarks) {
    struct Case {
        std::string utf8;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"\xC3", "?"},      // truncated at the end
        {"\303A", "?A"},    // broken by an ASCII byte, which survives
        {"\xE2\x82", "?"},  // truncated euro sign
        {"\342\202x\342\202\254", "?x\x80"},
        {"\x80", "?"},                 // stray continuation byte
        {"\xC0\xAF", "??"},            // overlong '/'
        {"\xE0\x80\xAF", "???"},       // overlong, three bytes
        {"\xED\xA0\x80", "???"},       // UTF-16 surrogate
        {"\xF4\x90\x80\x80", "????"},  // above U+10FFFF
        {"\xFF\xFE", "??"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Utf8ToCp1252(c.utf8), c.expected) << testing::PrintToString(c.utf8);
        EXPECT_FALSE(IsWellFormedUtf8(c.utf8)) << testing::PrintToString(c.utf8);
        EXPECT_FALSE(IsWellFormedUtf8("ok " + c.utf8 + " ok")) << testing::PrintToString(c.utf8);
    }
    for (const char* wellFormed : {"", "plain ASCII", "M\u00FCller \u20AC", "\U0001F600"}) {
        EXPECT_TRUE(IsWellFormedUtf8(wellFormed)) << wellFormed;
    }
}

}  // namespace
