#pragma once
// Reading what the technician typed into a decimal entry field, without a widget.

#include <string_view>

/// How far a typed entry has come: Invalid text is refused as it is typed, Incomplete
/// text may still become a number (an empty field, a lone separator), Complete text is a
/// number in range, OutOfRange text a number outside it, which is kept while the field is
/// edited and becomes the nearest value in range when the field is left or read.
enum class EntryState { Invalid, Incomplete, Complete, OutOfRange };

struct DecimalEntry {
    EntryState state = EntryState::Invalid;
    double value = 0.0;  ///< Complete: the number; OutOfRange: the nearest value in range

    /// True when the text gives a value to take (Complete or OutOfRange).
    bool HasValue() const {
        return state == EntryState::Complete || state == EntryState::OutOfRange;
    }
};

/// Reads an entry of the manual fields: digits with at most `decimals` of them after one
/// decimal separator, which may be "," or "." (a point comes from habit and from the
/// numeric keypad of most layouts), blanks around it ignored, no sign (no field takes a
/// negative value). A number above `maximum` or below `minimum` is OutOfRange, with the
/// bound it passed as its value: "130" in a field up to 120 gives 120, not the 13 that
/// refusing the last digit would leave.
DecimalEntry ReadDecimalEntry(std::string_view text, double minimum, double maximum, int decimals);
