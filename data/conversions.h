#pragma once
// Text <-> number conversions used wherever a number crosses the border between
// text and value. Text is single-byte Windows-1252 (std::string holds the bytes);
// positions count from 1. Output never depends on the system's regional settings:
// the decimal separator is always ',' and there is never a thousands separator.
// None of these functions fails: unreadable input yields 0.

#include <cstdint>
#include <string>
#include <string_view>

/// Character at 1-based `position`, or a blank when the position lies beyond the end.
/// Positions below 1 also yield a blank.
char CharAtOrSpace(std::string_view text, int position);

/// Decimal text of `value`, left-padded with blanks to `width` (0 = no padding, max 255).
std::string IntToStrPad(int32_t value, int width);

/// Fixed-point text with `decimals` digits after a decimal comma, rounded half away from
/// zero on the 17-digit decimal expansion, sign taken from the sign bit, padded to `width`
/// (0 = none), at most 30 characters.
///
/// The expansion keeps 17 places after the point of the magnitude divided by ten until it
/// is below 16 (so 1234567.891 keeps 12 places, 15.5 keeps 17), and is itself rounded half
/// away from zero at its last place. Negative `decimals` count as 0. Values no caller
/// passes get a short readable text instead of digits cut at 30 characters: "NAN", "INF"
/// and "-INF", and magnitudes from 1e36 on in scientific notation with 15 significant
/// digits ("1,50000000000000E+300").
std::string FormatFixed(int width, int decimals, double value);

/// Lenient integer parse: skips leading noise, '$' anywhere selects hexadecimal mode;
/// 0 when nothing can be read or the value is out of the 32-bit range.
int32_t ParseIntLoose(std::string_view text);

/// Lenient real parse: skips leading noise, accepts ',' or '.' as decimal separator;
/// 0 when nothing can be read or a second separator appears. There is no exponent
/// ("7e3" gives 7). A magnitude beyond the double range also gives 0; "-0" gives -0.0.
double ParseFloatLoose(std::string_view text);

/// Upper-cases a-z and the German umlauts (Windows-1252); every other byte unchanged.
std::string UpperGerman(std::string_view text);
