#pragma once
// The connection picture control.

#include <QLabel>

/// A picture label that starts a new search: with a left double-click, and, once Tab has
/// brought the keyboard to it, with Space or Return, for those who have no mouse or a
/// touchpad that will not double-click. Clicks do not take the focus, so the mouse works
/// as it always did.
class TImage : public QLabel {
    Q_OBJECT
public:
    explicit TImage(QWidget* parent = nullptr);

    /// Does what a double-click does: emits activated().
    void Activate();

signals:
    /// A left double-click, Space, Return or keypad Enter, or Activate().
    void activated();

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
};
