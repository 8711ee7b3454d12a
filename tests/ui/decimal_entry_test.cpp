#include "ui/decimal_entry.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(DecimalEntry, ReadsPointOrCommaRefusesWhatIsNoNumberAndBoundsTheRest) {
    const std::string huge(400, '9');
    const struct {
        std::string text;
        double maximum;
        EntryState state;
        double value;
    } rows[] = {
        {"3.5", 10.0, EntryState::Complete, 3.5},
        {"3,5", 10.0, EntryState::Complete, 3.5},
        {"95.5", 120.0, EntryState::Complete, 95.5},
        {"120", 120.0, EntryState::Complete, 120.0},
        {" 7 ", 10.0, EntryState::Complete, 7.0},
        {"3.", 10.0, EntryState::Complete, 3.0},
        {",5", 10.0, EntryState::Complete, 0.5},
        {"007,0", 10.0, EntryState::Complete, 7.0},
        {"", 10.0, EntryState::Incomplete, 0.0},
        {"  ", 10.0, EntryState::Incomplete, 0.0},
        {".", 10.0, EntryState::Incomplete, 0.0},
        // Beyond the maximum: the maximum, not what dropping the last digit would leave.
        {"120.1", 120.0, EntryState::OutOfRange, 120.0},
        {"130", 120.0, EntryState::OutOfRange, 120.0},
        {"12", 10.0, EntryState::OutOfRange, 10.0},
        {huge, 120.0, EntryState::OutOfRange, 120.0},
        {"3.55", 10.0, EntryState::Invalid, 0.0},
        {"1.2.3", 10.0, EntryState::Invalid, 0.0},
        {"1,2.", 10.0, EntryState::Invalid, 0.0},
        {"3,5a", 10.0, EntryState::Invalid, 0.0},
        {"-1", 10.0, EntryState::Invalid, 0.0},
        {"+1", 10.0, EntryState::Invalid, 0.0},
        {"1e1", 120.0, EntryState::Invalid, 0.0},
    };
    for (const auto& row : rows) {
        const DecimalEntry entry = ReadDecimalEntry(row.text, 0.0, row.maximum, 1);
        EXPECT_EQ(entry.state, row.state) << '"' << row.text << '"';
        if (row.state == EntryState::Complete || row.state == EntryState::OutOfRange) {
            EXPECT_DOUBLE_EQ(entry.value, row.value) << row.text;
        }
    }
    // Below the minimum: the minimum.
    const DecimalEntry low = ReadDecimalEntry("3", 5.0, 10.0, 1);
    EXPECT_EQ(low.state, EntryState::OutOfRange);
    EXPECT_DOUBLE_EQ(low.value, 5.0);
    EXPECT_EQ(ReadDecimalEntry("3.25", 0.0, 10.0, 2).state, EntryState::Complete);
}

}  // namespace
