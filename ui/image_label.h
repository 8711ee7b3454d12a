#pragma once
// The connection picture control.

#include <QLabel>

/// A picture label that also reports double-clicks: double-clicking the connection
/// picture starts a new search.
class TImage : public QLabel {
    Q_OBJECT
public:
    explicit TImage(QWidget* parent = nullptr);

signals:
    /// Emitted on a left-button double-click.
    void doubleClicked();

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
};
