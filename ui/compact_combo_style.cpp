#include "ui/compact_combo_style.h"

#include <QStyleOptionComplex>

TCompactComboStyle::TCompactComboStyle(int arrowWidth, Qt::Alignment textAlignment)
    : QProxyStyle(nullptr), arrowWidth_(arrowWidth), textAlignment_(textAlignment) {}

void TCompactComboStyle::drawControl(ControlElement element, const QStyleOption* option,
                                     QPainter* painter, const QWidget* widget) const {
    const auto* combo = qstyleoption_cast<const QStyleOptionComboBox*>(option);
    if (element == CE_ComboBoxLabel && combo != nullptr) {
        QStyleOptionComboBox aligned(*combo);
        aligned.textAlignment = textAlignment_;
        QProxyStyle::drawControl(element, &aligned, painter, widget);
        return;
    }
    QProxyStyle::drawControl(element, option, painter, widget);
}

QRect TCompactComboStyle::subControlRect(ComplexControl control, const QStyleOptionComplex* option,
                                         SubControl subControl, const QWidget* widget) const {
    if (control != CC_ComboBox || option == nullptr) {
        return QProxyStyle::subControlRect(control, option, subControl, widget);
    }
    const QRect frame = option->rect;
    constexpr int kBorder = 1;
    switch (subControl) {
        case SC_ComboBoxArrow:
            return visualRect(
                option->direction, frame,
                QRect(frame.right() - arrowWidth_ - kBorder + 1, frame.top() + kBorder, arrowWidth_,
                      frame.height() - 2 * kBorder));
        case SC_ComboBoxEditField:
            return visualRect(option->direction, frame,
                              QRect(frame.left() + kBorder + 1, frame.top() + kBorder + 1,
                                    frame.width() - arrowWidth_ - 2 * kBorder - 2,
                                    frame.height() - 2 * kBorder - 2));
        default:
            return QProxyStyle::subControlRect(control, option, subControl, widget);
    }
}
