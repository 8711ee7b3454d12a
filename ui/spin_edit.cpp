#include "ui/spin_edit.h"

#include <QKeyEvent>
#include <QLocale>

TSpinEdit::TSpinEdit(QWidget* parent) : QDoubleSpinBox(parent) {
    // The numbers the program writes always carry a decimal comma, whatever the system
    // locale; the entries must look the same.
    QLocale locale(QLocale::German, QLocale::Germany);
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    setLocale(locale);
    setDecimals(1);
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setKeyboardTracking(false);
}

void TSpinEdit::keyPressEvent(QKeyEvent* event) {
    // Qt's page keys move by ten single steps; ours move by a fixed amount.
    if (event->key() == Qt::Key_PageUp || event->key() == Qt::Key_PageDown) {
        if (!isReadOnly()) {
            const double sign = event->key() == Qt::Key_PageUp ? 1.0 : -1.0;
            setValue(value() + sign * pageStep_);
            selectAll();
        }
        event->accept();
        return;
    }
    QDoubleSpinBox::keyPressEvent(event);
}
