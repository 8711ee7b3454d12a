#include "link/status_texts.h"

QString ErrorStatusText(int code) {
    switch (code) {
        case kErrNoComPort:
            return QStringLiteral("Fehler: keinen Comport gefunden");
        case kErrNoReply:
            return QStringLiteral("Fehler: Keine Antwort vom Gerät");
        case kErrNoDevice:
            return QStringLiteral("kein Messgerät gefunden - bitte Einschalten!");
        case kErrNotPaired:
            return QStringLiteral("Bitte ZOR Bluetooth-Messgerät am Computer anmelden");
        case kErrPortBusy:
            return QStringLiteral("Fehler: Comport belegt");
        case kErrInit:
            return QStringLiteral("Fehler: Initialisieren der Schnittstelle");
        case kErrUserAbort:
            return QStringLiteral("Nutzerabbruch");
        default:
            return {};
    }
}

QString WithReason(const QString& text, const std::string& reason) {
    return reason.empty() ? text : text + QLatin1Char('\n') + QString::fromStdString(reason);
}
