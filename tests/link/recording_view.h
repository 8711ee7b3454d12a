#pragma once
// A LinkView that remembers what the link showed, for assertions.

#include <QStringList>
#include <functional>
#include <vector>

#include "link/link_view.h"

class RecordingView : public LinkView {
public:
    void SetStatusMessage(const QString& text) override {
        status = text;
        if (statusHistory.isEmpty() || statusHistory.back() != text) {
            statusHistory << text;
        }
    }
    QString StatusMessage() const override { return status; }
    void ShowConnectionPicture(int index) override { picture = index; }
    QString IdentificationLabel() const override { return identification; }
    void SetIdentificationLabel(const QString& text) override { identification = text; }
    void SetBtExitEnabled(bool enabled) override { btExitEnabled = enabled; }
    void SetBtWastunVisible(bool visible) override { btWastunVisible = visible; }
    void ZeigeHilfeText(int code) override { helpPage = code; }
    void SetPortsWithoutPermission(const QStringList& ports) override {
        portsWithoutPermission = ports;
    }
    void DispData(const MeasurementRecord&) override { ++dispDataCalls; }
    void CloseMainWindow() override { closed = true; }
    void ShowErrorBox(const QString& message) override { errorBoxes << message; }
    void ShowInfoBox(const QString& message) override {
        infoBoxes << message;
        if (onInfoBox) {
            onInfoBox(message);
        }
    }

    QString status;
    QStringList statusHistory;
    int picture = 0;
    QString identification = QStringLiteral("Suche läuft ...");
    bool btExitEnabled = false;
    bool btWastunVisible = false;
    int helpPage = 4;
    QStringList portsWithoutPermission;
    int dispDataCalls = 0;
    bool closed = false;
    QStringList errorBoxes;
    QStringList infoBoxes;
    /// Runs when an information box is shown (a box is modal: what happens while it is open).
    std::function<void(const QString&)> onInfoBox;
};
