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
std::string FormatFixed(int width, int decimals, double value);

/// Lenient integer parse: skips leading noise, '$' anywhere selects hexadecimal mode;
/// 0 when nothing can be read or the value is out of the 32-bit range.
int32_t ParseIntLoose(std::string_view text);

/// Lenient real parse: skips leading noise, accepts ',' or '.' as decimal separator;
/// 0 when nothing can be read or a second separator appears.
double ParseFloatLoose(std::string_view text);

/// Upper-cases a-z and the German umlauts (Windows-1252); every other byte unchanged.
std::string UpperGerman(std::string_view text);
