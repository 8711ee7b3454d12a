#pragma once
// The push buttons of both windows. Return and keypad Enter press the focused button, as on
// Windows. Qt ties that to "auto-default", which also makes the focused button the default
// one, and Qt's Windows (Vista) style animates the default button with a pulse for as long
// as it has the focus: two 16 ms timers running all the time, which under Wine cost a few
// percent of a core while the program only waited for data. This button takes the two keys
// itself and is never the default one, so nothing is animated.

#include <QPushButton>

class TButton : public QPushButton {
public:
    TButton(const QString& text, QWidget* parent) : QPushButton(text, parent) {}

protected:
    void keyPressEvent(QKeyEvent* event) override;
};
