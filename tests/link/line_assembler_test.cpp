#include "link/line_assembler.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> FeedAll(LineAssembler& assembler, const std::string& bytes) {
    std::vector<std::string> lines;
    for (unsigned char b : bytes) {
        if (assembler.Feed(b)) {
            lines.push_back(assembler.Line());
        }
    }
    return lines;
}

}  // namespace

TEST(LineAssembler, LinesSplitAtAnyByteBoundary) {
    const std::string stream = "051G 20.9;\r053E 12,0;\r080G -0.05\r";
    for (size_t cut = 0; cut <= stream.size(); ++cut) {
        LineAssembler assembler;
        auto lines = FeedAll(assembler, stream.substr(0, cut));
        auto rest = FeedAll(assembler, stream.substr(cut));
        lines.insert(lines.end(), rest.begin(), rest.end());
        ASSERT_EQ(lines, (std::vector<std::string>{"051G 20.9;", "053E 12,0;", "080G -0.05"}))
            << "cut at " << cut;
    }
}

TEST(LineAssembler, KeepsEveryOtherByteIncludingLineFeedNulAndHighBytes) {
    LineAssembler assembler;
    const std::string bytes(
        "\n\0\xff"
        "A\r",
        5);
    const auto lines = FeedAll(assembler, bytes);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], std::string("\n\0\xff"
                                    "A",
                                    4));
}

TEST(LineAssembler, EmptyLineIsALine) {
    LineAssembler assembler;
    EXPECT_EQ(FeedAll(assembler, "\r\r"), (std::vector<std::string>{"", ""}));
}

TEST(LineAssembler, OverlongLineIsDroppedUpToItsCarriageReturn) {
    LineAssembler assembler(8);
    const auto lines = FeedAll(assembler, std::string(20, 'x') + "\r051G 1;\r");
    EXPECT_EQ(lines, (std::vector<std::string>{"051G 1;"}));
}

TEST(LineAssembler, LineOfExactlyTheLimitIsKept) {
    LineAssembler assembler(8);
    EXPECT_EQ(FeedAll(assembler, "12345678\r"), (std::vector<std::string>{"12345678"}));
    EXPECT_EQ(FeedAll(assembler, "123456789\r"), (std::vector<std::string>{}));
}

TEST(LineAssembler, EndlessBytesWithoutCarriageReturnStayBounded) {
    LineAssembler assembler(16);
    for (int i = 0; i < 100000; ++i) {
        assembler.Feed('z');
        ASSERT_LE(assembler.Line().size(), 16u);
    }
    EXPECT_TRUE(assembler.Overlong());
}
