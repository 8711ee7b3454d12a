// The benchmarks' numeric options.

#include "bench/bench_options.h"

#include <gtest/gtest.h>

namespace {

std::vector<BenchOption> Defaults() {
    return {{"seconds", 60, 1, 3600, "run time"}, {"repeat", 1, 1, 100, "runs"}};
}

TEST(BenchOptions, BothSpellingsAndDefaultsForTheRest) {
    auto options = Defaults();
    const BenchParse r = ParseBenchOptions({"--seconds", "2.5", "--repeat=3"}, options);
    ASSERT_EQ(r.error, "");
    EXPECT_FALSE(r.help);
    EXPECT_DOUBLE_EQ(OptionValue(options, "seconds"), 2.5);
    EXPECT_DOUBLE_EQ(OptionValue(options, "repeat"), 3);

    auto untouched = Defaults();
    ASSERT_EQ(ParseBenchOptions({}, untouched).error, "");
    EXPECT_DOUBLE_EQ(OptionValue(untouched, "seconds"), 60);
    EXPECT_TRUE(ParseBenchOptions({"--help"}, untouched).help);
    EXPECT_NE(BenchUsage("bench_x", "Purpose.", untouched).find("--seconds"), std::string::npos);
}

TEST(BenchOptions, RejectsWhatItCannotUse) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--minutes", "3"}, "unknown option '--minutes'"},
        {{"--seconds"}, "--seconds needs a value"},
        {{"--seconds", "soon"}, "is not a number"},
        {{"--seconds=5s"}, "is not a number"},
        {{"--seconds="}, "is not a number"},
        {{"--seconds", "0"}, "outside 1..3600"},
        {{"--repeat", "101"}, "outside 1..100"},
        {{"60"}, "unexpected argument '60'"},
    };
    for (const auto& [args, message] : cases) {
        auto options = Defaults();
        const BenchParse r = ParseBenchOptions(args, options);
        EXPECT_NE(r.error.find(message), std::string::npos) << args[0] << ": " << r.error;
    }
}

}  // namespace
