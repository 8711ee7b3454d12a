#pragma once
// The window as the benchmarks see it: it keeps what the link shows and lets a benchmark
// take its figures at the moment the values are redrawn (DispData, the end of a tick).

#include <QString>
#include <cstdio>
#include <functional>

#include "link/link_view.h"

class BenchView : public LinkView {
public:
    /// Called at every DispData, after the tick has decoded its lines.
    std::function<void()> onDispData;

    void SetStatusMessage(const QString& text) override { status = text; }
    QString StatusMessage() const override { return status; }
    void ShowConnectionPicture(int index) override { picture = index; }
    QString IdentificationLabel() const override { return identification; }
    void SetIdentificationLabel(const QString& text) override { identification = text; }
    void SetBtExitEnabled(bool) override {}
    void SetBtWastunVisible(bool) override {}
    void ZeigeHilfeText(int) override {}
    void DispData(const MeasurementRecord&) override {
        ++dispDataCalls;
        if (onDispData) {
            onDispData();
        }
    }
    void CloseMainWindow() override { closed = true; }
    // A benchmark never waits for a click: boxes go to the terminal.
    void ShowErrorBox(const QString& message) override {
        std::fprintf(stderr, "error box: %s\n", qPrintable(message));
    }
    void ShowInfoBox(const QString& message) override {
        std::fprintf(stderr, "info box: %s\n", qPrintable(message));
    }

    QString status;
    QString identification;
    int picture = 0;
    long dispDataCalls = 0;
    bool closed = false;
};
