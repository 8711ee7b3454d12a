#pragma once
// Narrow drop-down lists.

#include <QProxyStyle>

/// Style for drop-down lists narrower than the platform style expects (the 49-pixel
/// oil-derivative list): gives the arrow a fixed, slim width so that the shown item
/// keeps the room the layout designed for it.
class TCompactComboStyle : public QProxyStyle {
    Q_OBJECT
public:
    explicit TCompactComboStyle(int arrowWidth);

    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option,
                         SubControl subControl, const QWidget* widget) const override;

private:
    int arrowWidth_;
};
