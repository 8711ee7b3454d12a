#include "ui/message_boxes.h"

#include <QMessageBox>
#include <QPushButton>
#include <utility>

#include "ui/ui_logging.h"

namespace {

MessageBoxHook& Hook() {
    static MessageBoxHook hook;
    return hook;
}

void ShowBox(MessageKind kind, const QString& message) {
    // One line in the record, whatever the box says on how many.
    QString line = message;
    line.replace(QLatin1Char('\n'), QLatin1String(" / "));
    qCInfo(lcUi).noquote() << (kind == MessageKind::Error ? "box Fehler:" : "box Informationen:")
                           << line;
    if (Hook()) {
        Hook()(kind, message);
        return;
    }
    const bool error = kind == MessageKind::Error;
    QMessageBox box(error ? QMessageBox::Critical : QMessageBox::Information,
                    error ? QStringLiteral("Fehler") : QStringLiteral("Informationen"), message,
                    QMessageBox::Ok);
    box.button(QMessageBox::Ok)->setText(QStringLiteral("OK"));
    box.exec();
}

}  // namespace

void ShowErrorBox(const QString& message) {
    ShowBox(MessageKind::Error, message);
}

void ShowInfoBox(const QString& message) {
    ShowBox(MessageKind::Info, message);
}

void SetMessageBoxHook(MessageBoxHook hook) {
    Hook() = std::move(hook);
}
