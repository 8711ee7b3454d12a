#pragma once
// Captions of the fixed-size value labels. A right-aligned label cuts a text wider than
// itself on the left, which would drop the leading digit or the minus sign of a value;
// such a caption is drawn smaller instead.

#include <QFont>
#include <QString>

class QLabel;

/// The pixel size at which `text` in `font` fits `width` pixels, glyph overhangs
/// included: `normalPixelSize` when it fits there, else the largest smaller size that
/// fits, and 1 when none does.
int FittingPixelSize(QFont font, const QString& text, int width, int normalPixelSize);

/// Shows `text` in `label` at `normalPixelSize`, or smaller when it would not fit the
/// label's contents. A caption equal to the shown one changes nothing, so a display
/// that rewrites every caption each tick costs nothing while the values stay.
void SetValueCaption(QLabel* label, const QString& text, int normalPixelSize);
