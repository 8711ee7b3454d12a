#pragma once
// The value boxes behind the measured values.

#include <QColor>
#include <QWidget>

/// A filled rounded rectangle with a thin black outline. Draws nothing else, so labels
/// with a transparent background can lie on it.
class TShape : public QWidget {
    Q_OBJECT
public:
    explicit TShape(QWidget* parent = nullptr);
    void SetBrushColor(const QColor& color);
    QColor BrushColor() const { return brush_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor brush_{Qt::white};
};
