#pragma once
// What the device link shows on the screen. The main window implements it; the link's
// tests implement it with a recorder, so the protocol runs without widgets. Data flows one
// way: the link tells the view what to show, and the view hands the link what the user
// entered when the link asks for it (the take-over's ManualEntriesSource).

#include <QString>
#include <QStringList>

#include "data/measurement.h"

class LinkView {
public:
    virtual ~LinkView() = default;

    /// Text of the status bar's message panel.
    virtual void SetStatusMessage(const QString& text) = 0;
    virtual QString StatusMessage() const = 0;
    /// Connection picture 0 start, 1 error, 2 standby, 3 online data.
    virtual void ShowConnectionPicture(int index) = 0;
    virtual QString IdentificationLabel() const = 0;
    virtual void SetIdentificationLabel(const QString& text) = 0;
    virtual void SetBtExitEnabled(bool enabled) = 0;
    virtual void SetBtWastunVisible(bool visible) = 0;
    /// Selects the help page that belongs to an error code.
    virtual void ZeigeHilfeText(int code) = 0;
    /// The ports the system refused to open for want of permission, as "COM5 (/dev/rfcomm0)"
    /// (Linux: a user outside the group dialout), or none: help page 3 then begins with them
    /// and what to do. A view without help pages may ignore it.
    virtual void SetPortsWithoutPermission(const QStringList& /*ports*/) {}
    /// How full the mean's window is: `filled` of `window` seconds (a window of 0: the mean
    /// is off). A view without room for it may ignore it.
    virtual void ShowMeanFill(int /*filled*/, int /*window*/) {}
    /// Redraws the value labels from `record`.
    virtual void DispData(const MeasurementRecord& record) = 0;
    virtual void CloseMainWindow() = 0;
    virtual void ShowErrorBox(const QString& message) = 0;
    virtual void ShowInfoBox(const QString& message) = 0;
};
