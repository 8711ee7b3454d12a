#include "ui/value_caption.h"

#include <QFontMetrics>
#include <QLabel>
#include <QRect>
#include <algorithm>

namespace {

bool Fits(const QFont& font, const QString& text, int width) {
    const QFontMetrics metrics(font);
    // Glyphs can reach past the advance on either side (a leading "1" or "-" in some
    // faces); count what is drawn, not only where the next glyph would start.
    const QRect ink = metrics.boundingRect(text);
    const int left = std::min(0, ink.left());
    const int right = std::max(metrics.horizontalAdvance(text), ink.right() + 1);
    return right - left <= width;
}

}  // namespace

int FittingPixelSize(QFont font, const QString& text, int width, int normalPixelSize) {
    for (int size = normalPixelSize; size > 1; --size) {
        font.setPixelSize(size);
        if (Fits(font, text, width)) {
            return size;
        }
    }
    return 1;
}

void SetValueCaption(QLabel* label, const QString& text, int normalPixelSize) {
    if (label->text() == text) {
        return;
    }
    const int width = label->contentsRect().width() - 2 * label->margin();
    const int size = FittingPixelSize(label->font(), text, width, normalPixelSize);
    if (label->font().pixelSize() != size) {
        QFont font = label->font();
        font.setPixelSize(size);
        label->setFont(font);
    }
    label->setText(text);
}
