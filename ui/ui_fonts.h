#pragma once
// Typefaces of the windows. The windows were laid out for "MS Sans Serif"; where the
// system lacks it we load Wine's TrueType rendering of it, and fall back to typefaces
// of similar width so that captions still fit their designed boxes.

#include <QFont>
#include <QStringList>

/// Registers the window typeface with Qt if the system has it only as a file (Linux:
/// Wine's fonts). Safe to call more than once; needs a QGuiApplication.
void LoadUiFonts();

/// Families tried in order for window text.
QStringList UiFontFamilies();

/// Window text with a character height of `pixelSize` pixels.
QFont UiFont(int pixelSize, bool bold = false);

/// A font that has the Greek letters of the lambda and eta captions, same size rules.
QFont GreekFont(int pixelSize, bool bold = false);
