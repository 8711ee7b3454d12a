#include "ui/accessible_names.h"

#include <QAccessible>
#include <QLabel>
#include <QVariant>
#include <chrono>

#include "data/channel_table.h"

namespace {

constexpr std::int64_t kRenameIntervalMs = 1000;
// When the field was last renamed, kept on the field itself.
constexpr char kRenamedAtProperty[] = "fumilinkValueRenamedAtMs";

QString NoValue() {
    return QStringLiteral("kein Messwert");
}

bool HasValue(const QString& name, const QString& quantity) {
    return !name.isEmpty() && name != ValueFieldName(quantity, QStringLiteral("-"));
}

}  // namespace

QString ConnectionPictureName(int n) {
    switch (n) {
        case 0:
            return QString::fromUtf8("Verbindung: Suche läuft");
        case 1:
            return QStringLiteral("Verbindung: Fehler");
        case 2:
            return QStringLiteral("Verbindung: hergestellt (Standby)");
        case 3:
            return QStringLiteral("Verbindung: Onlinedaten werden empfangen");
        default:
            return QString();
    }
}

QString ValueFieldQuantity(const ChannelInfo& channel) {
    return QString::fromLatin1(channel.words) + QLatin1Char(' ') +
           QString::fromLatin1(channel.quantity);
}

QString ValueFieldName(const QString& quantity, const QString& shown) {
    return quantity + QLatin1Char(' ') + (shown == QLatin1String("-") ? NoValue() : shown);
}

void NameValueField(QLabel* label, const QString& quantity) {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    NameValueField(label, quantity,
                   std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

void NameValueField(QLabel* label, const QString& quantity, std::int64_t nowMs) {
    const QString name = ValueFieldName(quantity, label->text());
    const QString old = label->accessibleName();
    if (name == old) {
        return;
    }
    const QVariant renamedAt = label->property(kRenamedAtProperty);
    const bool sameKind = !old.isEmpty() && HasValue(old, quantity) == HasValue(name, quantity);
    if (sameKind && renamedAt.isValid() && nowMs - renamedAt.toLongLong() < kRenameIntervalMs) {
        return;
    }
    label->setProperty(kRenamedAtProperty, QVariant::fromValue<qlonglong>(nowMs));
    label->setAccessibleName(name);
}

void TellNewStatus(QLabel* status) {
#ifdef Q_OS_WIN
    // Qt's UI Automation bridge passes name changes on for combo boxes only, so the
    // label's own name change reaches no one there. A text's value change it raises as a
    // UI Automation notification, which Narrator and NVDA speak, a newer one in place of
    // one not yet spoken. (Qt's AT-SPI bridge has AT-SPI tools read the label's name
    // change, and only warns about a label's value change.)
    QAccessibleValueChangeEvent event(status, status->text());
    QAccessible::updateAccessibility(&event);
#else
    Q_UNUSED(status);
#endif
}
