#include "data/conversions.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>
#include <locale>
#include <string>
#include <vector>

// Every conversion test runs twice: once in the "C" locale and once in a German
// locale whose decimal separator is ',' and whose thousands separator is '.'.
// Output and parsing must be identical in both, so a conversion that slips in a
// locale-dependent call fails in the German run.

namespace {

using namespace std::string_literals;

// The German locale as this platform's C library names it (CMake passes the name). MinGW's
// C++ library has no named locales; there only the C library's locale is switched.
constexpr const char* kGermanLocale = FUMILINK_GERMAN_LOCALE;
constexpr bool kCxxNamedLocales = FUMILINK_CXX_NAMED_LOCALES != 0;

class Conversions : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        savedCLocale_ = std::setlocale(LC_ALL, nullptr);
        savedGlobal_ = std::locale();
        ASSERT_NE(std::setlocale(LC_ALL, GetParam()), nullptr)
            << "locale " << GetParam() << " missing; scripts/install-deps.sh generates it";
        if (kCxxNamedLocales) {
            std::locale::global(std::locale(GetParam()));
        }
    }
    void TearDown() override {
        std::setlocale(LC_ALL, savedCLocale_.c_str());
        std::locale::global(savedGlobal_);
    }

private:
    std::string savedCLocale_;
    std::locale savedGlobal_;
};

INSTANTIATE_TEST_SUITE_P(Locales, Conversions, ::testing::Values("C", kGermanLocale),
                         [](const auto& info) {
                             return std::string(info.param[0] == 'C' ? "C" : "German");
                         });

// Guards the fixture itself: if switching the locale silently did nothing, the
// German run would prove nothing.
TEST_P(Conversions, FixtureReallySwitchesTheLocale) {
    const std::string expected = GetParam()[0] == 'C' ? "." : ",";
    EXPECT_EQ(std::localeconv()->decimal_point, expected);
    if (kCxxNamedLocales) {
        EXPECT_EQ(std::use_facet<std::numpunct<char>>(std::locale()).decimal_point(), expected[0]);
    }
}

TEST_P(Conversions, CharAtOrSpace) {
    EXPECT_EQ(CharAtOrSpace("abc", 1), 'a');
    EXPECT_EQ(CharAtOrSpace("abc", 3), 'c');
    EXPECT_EQ(CharAtOrSpace("abc", 4), ' ');
    EXPECT_EQ(CharAtOrSpace("", 1), ' ');
    EXPECT_EQ(CharAtOrSpace("abc", 0), ' ');
    EXPECT_EQ(CharAtOrSpace("abc", -1), ' ');
    EXPECT_EQ(CharAtOrSpace("abc", std::numeric_limits<int>::min()), ' ');
    EXPECT_EQ(CharAtOrSpace("abc", std::numeric_limits<int>::max()), ' ');
    EXPECT_EQ(CharAtOrSpace("05\xE4G", 3), '\xE4');
    EXPECT_EQ(CharAtOrSpace(std::string_view("a\0c", 3), 2), '\0');
}

TEST_P(Conversions, IntToStrPad) {
    struct Case {
        int32_t value;
        int width;
        std::string expected;
    };
    const std::vector<Case> cases = {{-42, 0, "-42"},
                                     {7, 3, "  7"},
                                     {12345, 3, "12345"},
                                     {0, 0, "0"},
                                     {0, 1, "0"},
                                     {-7, 3, " -7"},
                                     {1234567, 0, "1234567"},  // no thousands separator
                                     {std::numeric_limits<int32_t>::max(), 0, "2147483647"},
                                     {std::numeric_limits<int32_t>::min(), 0, "-2147483648"},
                                     {5, -3, "5"}};
    for (const auto& c : cases) {
        EXPECT_EQ(IntToStrPad(c.value, c.width), c.expected) << c.value << " width " << c.width;
    }
    const std::string wide = IntToStrPad(9, 1000);
    EXPECT_EQ(wide.size(), 255u) << "widths above 255 count as 255";
    EXPECT_EQ(wide.back(), '9');
    EXPECT_EQ(wide.find_first_not_of(' '), 254u);
}

struct FixedCase {
    int width;
    int decimals;
    double value;
    std::string expected;
};

TEST_P(Conversions, FormatFixedRoundsHalfAwayFromZeroOnTheExpansion) {
    const std::vector<FixedCase> cases = {
        {0, 1, 0.25, "0,3"},
        {0, 0, 2.5, "3"},
        {0, 2, 0.125, "0,13"},
        {0, 0, 0.5, "1"},
        {0, 3, 0.0005, "0,001"},
        {0, 2, -0.005, "-0,01"},
        // Stored slightly below the half: rounded down.
        {0, 2, 2.675, "2,67"},
        {0, 2, 1.005, "1,00"},
        {0, 1, 9.95, "9,9"},
        // Stored slightly above the half, and the carry runs through every digit.
        {0, 2, 99.995, "100,00"},
        {0, 1, 20.46, "20,5"},
        {0, 0, 12.0, "12"},
        {0, 2, -3.14159, "-3,14"},
        {0, 2, 1234567.891, "1234567,89"},
        {0, 5, 1e-7, "0,00000"},
        {0, 3, 42.0, "42,000"}};
    for (const auto& c : cases) {
        EXPECT_EQ(FormatFixed(c.width, c.decimals, c.value), c.expected)
            << c.value << " with " << c.decimals << " decimals";
    }
}

TEST_P(Conversions, FormatFixedSignComesFromTheSignBit) {
    EXPECT_EQ(FormatFixed(0, 1, -0.04), "-0,0");
    EXPECT_EQ(FormatFixed(0, 2, -0.0), "-0,00");
    EXPECT_EQ(FormatFixed(0, 0, -0.0), "-0");
    EXPECT_EQ(FormatFixed(0, 2, 0.0), "0,00");
    EXPECT_EQ(FormatFixed(0, 0, -0.4), "-0");
}

// The expansion keeps 17 places after the point of the value scaled below 16:
// values 10..15.99 keep 19 significant digits, larger ones 18, and the digits
// beyond that are written as zeros.
TEST_P(Conversions, FormatFixedKeepsSeventeenPlacesAfterTheScaledPoint) {
    const std::vector<FixedCase> cases = {
        {0, 20, 15.000000000000002, "15,00000000000000178000"},
        {0, 20, 16.000000000000004, "16,00000000000000360000"},
        // 123.45... scales to 12.345... (below 16), so 16 places remain.
        {0, 16, 123.45678901234568, "123,4567890123456806"},
        // 2^-18 = 0.000003814697265625 has 18 places; the 18th is a half.
        {0, 17, 0.000003814697265625, "0,00000381469726563"},
        {0, 0, 123456789012345678.0, "123456789012345680"},
        // exactly 123456789012345685803008
        {0, 0, 1.2345678901234569e23, "123456789012345685800000"}};
    for (const auto& c : cases) {
        EXPECT_EQ(FormatFixed(c.width, c.decimals, c.value), c.expected)
            << c.value << " with " << c.decimals << " decimals";
    }
}

TEST_P(Conversions, FormatFixedPadsAndCutsToThirtyCharacters) {
    EXPECT_EQ(FormatFixed(8, 2, 3.14159), "    3,14");
    EXPECT_EQ(FormatFixed(3, 2, 3.14159), "3,14");
    EXPECT_EQ(FormatFixed(-5, 1, 2.0), "2,0");
    // Padding to 255 and then cutting to 30 leaves only blanks.
    EXPECT_EQ(FormatFixed(1000, 2, 3.0), std::string(30, ' '));
    EXPECT_EQ(FormatFixed(29, 0, 7.0), std::string(28, ' ') + "7");
    // 1e29 is stored as 99999999999999991433150857216: 29 digits, the point, two
    // decimals; the cut leaves the separator as the last character.
    EXPECT_EQ(FormatFixed(0, 2, 1e29), "99999999999999991400000000000,");
    EXPECT_EQ(FormatFixed(0, 0, 1e35), "999999999999999969000000000000");
    const std::string manyDecimals = FormatFixed(0, 50, 1.0 / 3.0);
    EXPECT_EQ(manyDecimals, "0,3333333333333333100000000000");
    EXPECT_EQ(FormatFixed(0, -3, 2.5), "3") << "negative decimals count as none";
}

TEST_P(Conversions, FormatFixedWritesOutOfRangeValuesReadably) {
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(FormatFixed(0, 2, inf), "INF");
    EXPECT_EQ(FormatFixed(0, 2, -inf), "-INF");
    EXPECT_EQ(FormatFixed(0, 2, std::numeric_limits<double>::quiet_NaN()), "NAN");
    EXPECT_EQ(FormatFixed(6, 2, inf), "   INF");
    EXPECT_EQ(FormatFixed(0, 2, 1e36), "1,00000000000000E+36");
    EXPECT_EQ(FormatFixed(0, 0, -1.5e300), "-1,50000000000000E+300");
    EXPECT_EQ(FormatFixed(0, 1, std::numeric_limits<double>::max()), "1,79769313486232E+308");
    EXPECT_EQ(FormatFixed(0, 3, std::numeric_limits<double>::denorm_min()), "0,000");
}

TEST_P(Conversions, ParseIntLooseDecimal) {
    struct Case {
        std::string text;
        int32_t expected;
    };
    const std::vector<Case> cases = {
        {"COM12", 12},
        {"COM7", 7},
        {" +5", 5},
        {"ab-7x", -7},
        {"12.9", 12},
        {"5-3", 5},
        {"--5", 0},
        {"-x5", 0},
        {"abc", 0},
        {"", 0},
        {"-", 0},
        {"0", 0},
        {"007", 7},
        {"2147483647", 2147483647},
        {"2147483648", 0},
        {"-2147483648", std::numeric_limits<int32_t>::min()},
        {"-2147483649", 0},
        {"-0000000000000000000000000042", -42},
        {"99999999999999999999999999999999999999", 0},
        {"1 000", 1},
        // '²' and '³' are no digits, whatever a locale may say about them.
        {"\262\2634", 4},
        {"\xFF-3", -3},
        {"\0005"s, 5},
        {"4\0005"s, 4}};
    for (const auto& c : cases) {
        EXPECT_EQ(ParseIntLoose(c.text), c.expected) << '"' << c.text << '"';
    }
}

TEST_P(Conversions, ParseIntLooseHexadecimal) {
    struct Case {
        std::string text;
        int32_t expected;
    };
    const std::vector<Case> cases = {
        {"x$1fz", 31},
        {"-$10", 16},
        {"$ffffffff", -1},
        {"$FFFFFFFF", -1},
        {"$7FFFFFFF", 2147483647},
        {"$80000000", std::numeric_limits<int32_t>::min()},
        {"$100000000", 0},
        {"$00000000000000ff", 255},
        {"$0", 0},
        {"$", 0},
        {"$g1", 0},
        {"12$3", 3},
        {"$1$2", 1},
        {"$\3441", 0},  // 'ä' upper-cases to 'Ä', which is no hex digit
        {"COM$A", 10}};
    for (const auto& c : cases) {
        EXPECT_EQ(ParseIntLoose(c.text), c.expected) << '"' << c.text << '"';
    }
}

TEST_P(Conversions, ParseFloatLooseAcceptsCommaAndPoint) {
    struct Case {
        std::string text;
        double expected;
    };
    const std::vector<Case> cases = {{"20,5", 20.5},
                                     {"20.5", 20.5},
                                     {".5", 0.5},
                                     {",5", 0.5},
                                     {"12,", 12.0},
                                     {"-,25", -0.25},
                                     {"7e3", 7.0},
                                     {"1.5.", 0.0},
                                     {"1.234,5", 0.0},
                                     {"1,2,3", 0.0},
                                     {"abc", 0.0},
                                     {"", 0.0},
                                     {"-", 0.0},
                                     {".", 0.0},
                                     {"-,", 0.0},
                                     {"--5", 0.0},
                                     {"12 34", 12.0},
                                     {"x3-4", 3.0},
                                     {"000123.250", 123.25},
                                     {"\2628,5", 8.5},
                                     {"\0009,5"s, 9.5}};
    for (const auto& c : cases) {
        EXPECT_EQ(ParseFloatLoose(c.text), c.expected) << '"' << c.text << '"';
    }
}

TEST_P(Conversions, ParseFloatLooseRoundsLikeTheLiteral) {
    EXPECT_DOUBLE_EQ(ParseFloatLoose("  -0.03 hPa"), -0.03);
    EXPECT_DOUBLE_EQ(ParseFloatLoose("0,1"), 0.1);
    EXPECT_DOUBLE_EQ(ParseFloatLoose("20,9;"), 20.9);
    EXPECT_DOUBLE_EQ(ParseFloatLoose("3.14159265358979323846264338327950288"),
                     3.14159265358979323846);
    EXPECT_DOUBLE_EQ(ParseFloatLoose("123456789012345678901234567890"), 1.2345678901234568e29);
    EXPECT_DOUBLE_EQ(ParseFloatLoose("0.000000000000000000000000000000000000000000001234"),
                     1.234e-45);
    EXPECT_TRUE(std::signbit(ParseFloatLoose("-0.0")));
    EXPECT_FALSE(std::signbit(ParseFloatLoose("-")));
}

TEST_P(Conversions, ParseFloatLooseSurvivesExtremeLengths) {
    EXPECT_DOUBLE_EQ(ParseFloatLoose("1" + std::string(300, '0')), 1e300);
    // Beyond the range of a double the text counts as unreadable.
    EXPECT_EQ(ParseFloatLoose("1" + std::string(400, '0')), 0.0);
    EXPECT_EQ(ParseFloatLoose(std::string(10000, '9')), 0.0);
    EXPECT_EQ(ParseFloatLoose("0." + std::string(10000, '0') + "1"), 0.0);
    EXPECT_DOUBLE_EQ(ParseFloatLoose("2." + std::string(10000, '0')), 2.0);
    EXPECT_DOUBLE_EQ(ParseFloatLoose(std::string(5000, '0') + "4,5"), 4.5);
}

TEST_P(Conversions, UpperGerman) {
    EXPECT_EQ(UpperGerman("stra\337e"), "STRA\337E");  // straße
    EXPECT_EQ(UpperGerman("\xE4\xF6\xFC"), "\xC4\xD6\xDC");
    EXPECT_EQ(UpperGerman("\xC4\xD6\xDC"), "\xC4\xD6\xDC");
    EXPECT_EQ(UpperGerman("\xE9"), "\xE9");
    EXPECT_EQ(UpperGerman("com12 Abc-z"), "COM12 ABC-Z");
    EXPECT_EQ(UpperGerman(""), "");
    EXPECT_EQ(UpperGerman("a\0b"s), "A\0B"s);
}

TEST_P(Conversions, UpperGermanMapsEveryOtherByteToItself) {
    for (int b = 0; b < 256; ++b) {
        const char c = static_cast<char>(b);
        const std::string upper = UpperGerman(std::string(1, c));
        ASSERT_EQ(upper.size(), 1u);
        const bool mapped = (b >= 'a' && b <= 'z') || b == 0xE4 || b == 0xF6 || b == 0xFC;
        if (!mapped) {
            EXPECT_EQ(upper[0], c) << "byte " << b;
        } else {
            EXPECT_NE(upper[0], c) << "byte " << b;
        }
    }
}

}  // namespace
