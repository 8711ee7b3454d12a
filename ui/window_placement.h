#pragma once
// Where the two windows appear on the screen. Positions are those of the window's frame
// (title bar and border included), as the design gives them; the frame's size is known
// only once the window system has decorated the window, which on X11 is after it was
// first mapped, so the windows place themselves again at their first paint.

#include <QMargins>
#include <QObject>
#include <QRect>
#include <QSize>
#include <functional>

class QWidget;

/// `frame` moved by the least distance that puts it inside `area`; a frame larger than
/// `area` is first cut to the area's size.
QRect MovedInside(QRect frame, const QRect& area);

/// A frame of `size` centred in `area`.
QRect CentredIn(const QSize& size, const QRect& area);

/// The available area (screen less task bars) of the screen the window is on.
QRect AvailableArea(const QWidget* window);

/// The window's frame margins as far as the window system has told them (none before).
QMargins FrameMargins(const QWidget* window);

/// Puts the top-level `window`'s frame at `frame` (its client area shrinks when the frame
/// is smaller than the window's).
void PlaceFrame(QWidget* window, const QRect& frame);

/// Places a top-level window by its owner's rule each time it is shown, and once more
/// when it is first exposed after that, when the window system has told its frame.
class TShowPlacement : public QObject {
    Q_OBJECT
public:
    /// Watches `window` (which also owns this object).
    TShowPlacement(QWidget* window, std::function<void()> place);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* window_;
    std::function<void()> place_;
    bool watchingHandle_ = false;
    bool awaitingExpose_ = false;
};
