#pragma once
// Status texts of the link. Kept in one table so the window, the tests and the
// help pages agree on every word.

#include <QString>
#include <string>

/// Error codes of the link (0 = no error).
enum LinkErrorCode : int {
    kErrNone = 0,
    kErrNoComPort = 1,
    kErrNoReply = 2,
    kErrNoDevice = 3,
    kErrNotPaired = 4,
    kErrPortBusy = 5,
    kErrInit = 6,
    kErrUserAbort = 7,
};

/// Status text of error codes 1..7; empty for any other code.
QString ErrorStatusText(int code);

/// A message box's text with the system's reason (UTF-8) on a line of its own below it;
/// the text alone when there is none.
QString WithReason(const QString& text, const std::string& reason);

inline const QString kStatusOnline = QStringLiteral("Onlinedaten werden empfangen");
inline const QString kStatusStandby = QStringLiteral("Verbindung hergestellt (Standby)");
inline const QString kStatusSettingsFound = QStringLiteral("Ini-Datei gefunden");
inline const QString kStatusSearching = QStringLiteral("Messgerät wird gesucht ...");
inline const QString kStatusTakingOver = QStringLiteral("Daten werden übernommen ...");
