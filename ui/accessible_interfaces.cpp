#include "ui/accessible_interfaces.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QKeySequence>
#include <QMetaObject>

#include "ui/image_label.h"

namespace {

/// The connection picture: a button for assistive tools. Its name (the link's state) is
/// the picture's accessible name, set by the window whenever the picture changes.
class ConnectionPictureAccessible : public QAccessibleWidget {
public:
    explicit ConnectionPictureAccessible(TImage* image)
        : QAccessibleWidget(image, QAccessible::Button) {}

    QStringList actionNames() const override {
        QStringList names;
        if (widget()->isEnabled()) {
            names << pressAction();
        }
        return names + QAccessibleWidget::actionNames();
    }

    void doAction(const QString& actionName) override {
        if (actionName != pressAction()) {
            QAccessibleWidget::doAction(actionName);
            return;
        }
        if (!widget()->isEnabled()) {
            return;
        }
        // The search waits for the analyser for seconds while the window keeps running.
        // The tool asking for the action waits for its answer (Windows expects an invoke
        // to return at once, and an AT-SPI call would time out), so the search starts
        // after it has been answered.
        QMetaObject::invokeMethod(static_cast<TImage*>(widget()), &TImage::Activate,
                                  Qt::QueuedConnection);
    }

    QStringList keyBindingsForAction(const QString& actionName) const override {
        if (actionName != pressAction()) {
            return QAccessibleWidget::keyBindingsForAction(actionName);
        }
        return {QKeySequence(Qt::Key_Space).toString(QKeySequence::NativeText),
                QKeySequence(Qt::Key_Return).toString(QKeySequence::NativeText),
                QKeySequence(Qt::Key_F5).toString(QKeySequence::NativeText)};
    }

    QString localizedActionName(const QString& actionName) const override {
        if (actionName == pressAction()) {
            return QStringLiteral("Neue Suche");
        }
        return QAccessibleWidget::localizedActionName(actionName);
    }

    QString localizedActionDescription(const QString& actionName) const override {
        if (actionName == pressAction()) {
            return QString::fromUtf8("Schließt die Schnittstelle und sucht das Messgerät neu");
        }
        return QAccessibleWidget::localizedActionDescription(actionName);
    }
};

QAccessibleInterface* OwnInterface(const QString& className, QObject* object) {
    if (className == QLatin1String("TImage")) {
        if (auto* image = qobject_cast<TImage*>(object)) {
            return new ConnectionPictureAccessible(image);
        }
    }
    return nullptr;
}

}  // namespace

void InstallAccessibleInterfaces() {
    // Qt keeps a factory once, however often it is installed.
    QAccessible::installFactory(&OwnInterface);
}
