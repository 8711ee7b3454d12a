#include <QGuiApplication>
#include <QMessageBox>
#include <QTimer>
#include <memory>

#include "app/already_running_box.h"

namespace {

constexpr int kRaiseEveryMs = 100;

}  // namespace

void ShowAlreadyRunningBox(ToolkitArguments& toolkit, const std::string& title,
                           const std::string& message) {
    const std::unique_ptr<QApplication> app = StartToolkit(toolkit, 0);
    QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(title),
                    QString::fromStdString(message), QMessageBox::Ok);
    // A window manager keeps a box with this hint above the first copy's window.
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    // Without one (a kiosk, a bare X server) nothing does: a window mapped later lies on top
    // of those mapped before, and the first copy's may take seconds on a busy machine. So the
    // box raises itself while it is open, as Windows keeps a topmost box above the rest.
    // The toolkit queues the request until the box next hears from the display, and a box
    // that is merely covered hears nothing, so each raise is synced out at once.
    QTimer raise;
    QObject::connect(&raise, &QTimer::timeout, &box, [&box] {
        box.raise();
        QGuiApplication::sync();
    });
    raise.start(kRaiseEveryMs);
    box.show();
    box.raise();
    box.activateWindow();
    box.exec();
}
