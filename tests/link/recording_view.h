#pragma once
// A LinkView that remembers what the link showed, for assertions.

#include <QStringList>
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
    void DispData() override { ++dispDataCalls; }
    void CloseMainWindow() override { closed = true; }
    void ShowErrorBox(const QString& message) override { errorBoxes << message; }
    void ShowInfoBox(const QString& message) override { infoBoxes << message; }
    double BoilerTemperature() const override { return boilerTemperature; }
    double SmokeNumber(int index) const override { return smoke[index - 1]; }
    bool SmokeInputsChecked() const override { return smokeChecked; }
    int DerivateIndex() const override { return derivateIndex; }

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
    double boilerTemperature = 60.0;
    double smoke[3] = {0.0, 0.0, 0.0};
    bool smokeChecked = false;
    int derivateIndex = 0;
};
