#pragma once
// Group frames of the main window.

#include <QFrame>

/// A lowered rectangular outline that groups controls. It sits below the controls it
/// frames and never takes input.
class TBevel : public QFrame {
    Q_OBJECT
public:
    explicit TBevel(QWidget* parent = nullptr);
};
