#pragma once
// Narrow drop-down lists.

#include <QProxyStyle>

/// Style for drop-down lists narrower than the platform style expects (the 49-pixel
/// oil-derivative list): gives the arrow a fixed, slim width so that the shown item
/// keeps the room the layout designed for it, and draws the shown item with the given
/// alignment (a non-editable list has no alignment setting of its own).
class TCompactComboStyle : public QProxyStyle {
    Q_OBJECT
public:
    TCompactComboStyle(int arrowWidth, Qt::Alignment textAlignment);

    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option,
                         SubControl subControl, const QWidget* widget) const override;
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override;

private:
    int arrowWidth_;
    Qt::Alignment textAlignment_;
};
