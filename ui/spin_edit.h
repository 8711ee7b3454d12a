#pragma once
// Decimal spin edit for the manual entries.

#include <QDoubleSpinBox>

/// A decimal spin box that always writes a decimal comma and no thousands separator,
/// whatever the system's regional settings, takes a typed point as a comma, keeps a number
/// typed beyond its range until the field is left (then it shows the nearest value in
/// range), and whose page keys move by a step of their own (Page Up/Down step 10.0 while
/// the arrows step by 0.5 or 0.1).
class TSpinEdit : public QDoubleSpinBox {
    Q_OBJECT
public:
    explicit TSpinEdit(QWidget* parent = nullptr);

    void SetPageStep(double step) { pageStep_ = step; }
    double PageStep() const { return pageStep_; }

    /// The value of the text as it stands, also when it was typed without Return and the
    /// field still has the focus; a number out of range gives the nearest value in range.
    /// Text that gives no number (an emptied field) leaves the value as it was. Afterwards
    /// the field shows the value returned.
    double TakeTypedValue();

    QValidator::State validate(QString& text, int& position) const override;
    void fixup(QString& text) const override;
    double valueFromText(const QString& text) const override;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    double pageStep_ = 10.0;
};
