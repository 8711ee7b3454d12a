#include "ui/spin_edit.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>
#include <QSignalBlocker>

#include "ui/decimal_entry.h"

namespace {

DecimalEntry ReadEntry(const TSpinEdit& edit, const QString& text) {
    return ReadDecimalEntry(text.toStdString(), edit.minimum(), edit.maximum(), edit.decimals());
}

}  // namespace

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

QValidator::State TSpinEdit::validate(QString& text, int& /*position*/) const {
    // The German locale reads a point as a thousands separator and refuses it, and the
    // digit after it then falls out of range: "3.5" would become 3,0 without a sign.
    text.replace(QLatin1Char('.'), QLatin1Char(','));
    // A number out of range is kept as typed, digit for digit: refusing the digit that
    // leaves the range would leave another number standing ("130" would read 13,0).
    switch (ReadEntry(*this, text).state) {
        case EntryState::Complete:
            return QValidator::Acceptable;
        case EntryState::Incomplete:
        case EntryState::OutOfRange:
            return QValidator::Intermediate;
        case EntryState::Invalid:
            break;
    }
    return QValidator::Invalid;
}

void TSpinEdit::fixup(QString& text) const {
    // Runs when the field is left or Return is pressed with text that is not acceptable as
    // it stands; a number out of range then shows as the nearest value in range. Qt's own
    // correction to the nearest value would take the bound nearest to zero instead.
    const DecimalEntry entry = ReadEntry(*this, text);
    if (entry.state == EntryState::OutOfRange) {
        text = textFromValue(entry.value);
    }
}

double TSpinEdit::valueFromText(const QString& text) const {
    const DecimalEntry entry = ReadEntry(*this, text);
    return entry.HasValue() ? entry.value : value();
}

double TSpinEdit::TakeTypedValue() {
    // Typed text counts only after Return or leaving the field (no keyboard tracking), so
    // a value typed just before "Daten übernehmen" would otherwise be shown but not used.
    const DecimalEntry entry = ReadEntry(*this, cleanText());
    if (entry.HasValue()) {
        setValue(entry.value);
    }
    const QString shown = textFromValue(value());
    if (lineEdit()->text() != shown) {
        const QSignalBlocker blocker(lineEdit());
        lineEdit()->setText(shown);
    }
    return value();
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
