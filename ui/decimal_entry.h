#pragma once
// Reading what the technician typed into a decimal entry field, without a widget.

#include <string_view>

/// How far a typed entry has come: Invalid text is refused as it is typed, Incomplete
/// text may still become a number (an empty field, a lone separator), Complete text is one.
enum class EntryState { Invalid, Incomplete, Complete };

struct DecimalEntry {
    EntryState state = EntryState::Invalid;
    double value = 0.0;  ///< the number, when Complete
};

/// Reads an entry of the manual fields: digits with at most `decimals` of them after one
/// decimal separator, which may be "," or "." (a point comes from habit and from the
/// numeric keypad of most layouts), blanks around it ignored, no sign (no field takes a
/// negative value). A number above `maximum` is Invalid, since typing on can only make it
/// larger; one below `minimum` is Incomplete.
DecimalEntry ReadDecimalEntry(std::string_view text, double minimum, double maximum, int decimals);
