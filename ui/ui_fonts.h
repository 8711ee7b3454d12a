#pragma once
// Typefaces of the windows. The windows were laid out for the classic bitmap
// "MS Sans Serif" at 11, 13, 16 and 24 pixels; the families are picked per platform in
// ui_fonts.cpp. On Windows that is its TrueType successor "Microsoft Sans Serif". On
// Linux (and under Wine, which has no Microsoft Sans Serif) it is Liberation Sans
// (Arial's widths): at those sizes it comes within a few pixels of every designed label
// width, it has a real bold face and the Greek letters. Wine's TrueType "MS Sans Serif" is
// not used: it imitates the 8-point bitmap, comes out about a third too small at 16
// pixels, and Qt cannot embolden it; Wine's Tahoma has a bold face that is barely bolder
// than regular.
#include <QFont>
#include <QStringList>

/// Registers Tahoma, the fallback for systems without Liberation Sans or Arial, where
/// the system has it only outside the font path (Debian: Wine's fonts). Safe to call
/// more than once; needs a QGuiApplication.
void LoadUiFonts();

/// Makes the windows' base text (11 pixels) the application's default font, so that
/// message boxes match the windows. Without it Qt takes the system's dialog font, which
/// Wine resolves to a serif face. Needs a QApplication; loads the fonts first.
void UseUiFontAsApplicationFont();

/// Families tried in order for window text, for this platform.
QStringList UiFontFamilies();

/// Window text with a character height of `pixelSize` pixels.
QFont UiFont(int pixelSize, bool bold = false);

/// A font that has the Greek letters of the lambda and eta captions, same size rules.
QFont GreekFont(int pixelSize, bool bold = false);
