// What the main window's buttons, its first show and the double-click on the connection
// picture do. The work itself is the link's.

#include <QCloseEvent>
#include <QKeySequence>
#include <QMetaObject>
#include <QShortcut>
#include <utility>

#include "link/status_texts.h"
#include "ui/formmain.h"
#include "ui/help_window.h"
#include "ui/message_boxes.h"
#include "ui/ui_logging.h"

void TFormmain::ConnectActions() {
    connect(this, &TFormmain::firstShown, this, [this] { FormShow(); });
    // The record says what the user asked for, once: a postponed action runs again later.
    connect(BtExit, &QPushButton::clicked, this, [this] {
        if (!PressedUnattended()) {
            qCInfo(lcUi).noquote() << "click: Daten übernehmen";
        }
        BtExitClick();
    });
    connect(BTBreak, &QPushButton::clicked, this, [this] { BTBreakClick(); });
    connect(BtWastun, &QPushButton::clicked, this, [this] { BtWastunClick(); });
    connect(Image, &TImage::activated, this, [this] {
        qCInfo(lcUi).noquote() << "new search (the connection picture)";
        Connectreset();
    });
    // The new search from anywhere in the window, as in a browser or a file manager.
    auto* searchAgain = new QShortcut(QKeySequence(Qt::Key_F5), this);
    searchAgain->setAutoRepeat(false);  // a held key asks for one search, as on the picture
    connect(searchAgain, &QShortcut::activated, this, [this] {
        qCInfo(lcUi).noquote() << "new search (F5)";
        Connectreset();
    });
    connect(Link, &DeviceLink::waitEnded, this, &TFormmain::RunPendingAction, Qt::QueuedConnection);
}

void TFormmain::FormShow() {
    // Firing types "1", "7" and "14" (whole texts) carry smoke numbers.
    CBRZaktiv->setChecked(smokeNumbersWanted_);
    SetSmokeInputsEnabled(smokeNumbersWanted_);
    Link->Start();
    // Once the window is up, so that the box stands in front of it; the search goes on
    // behind the box.
    QMetaObject::invokeMethod(
        this, [this] { Link->CheckTransferPath(); }, Qt::QueuedConnection);
    if (setup_.presses.Any()) {
        const auto inErrorState = [this] { return !Link->Busy() && Link->ErrorCode() > 0; };
        presser_ = std::make_unique<UnattendedPresser>(Link->Clock(), *BtExit, *BTBreak,
                                                       inErrorState, setup_.presses);
    }
}

bool TFormmain::MayStartNow(UserAction action) {
    if (runningAction_ == UserAction::None && !Link->Busy()) {
        return true;
    }
    // A wait owns the port: an action started inside it would read its replies. A click
    // for the action already running asks for nothing new; otherwise the first click is
    // kept.
    if (pendingAction_ == UserAction::None && action != runningAction_) {
        pendingAction_ = action;
        qCInfo(lcUi).noquote() << "postponed until the running wait ends";
    }
    return false;
}

void TFormmain::RunPendingAction() {
    if (pendingAction_ == UserAction::None) {
        return;
    }
    if (Link->Aborted()) {
        pendingAction_ = UserAction::None;
        return;
    }
    if (runningAction_ != UserAction::None || Link->Busy()) {
        return;  // the end of that wait or action brings us back
    }
    const UserAction action = std::exchange(pendingAction_, UserAction::None);
    // The wait may have changed what a click can do: a search that failed meanwhile, or a
    // stream that stopped, leaves "Daten übernehmen" disabled. Only what a fresh click
    // would start now runs; the picture takes a double-click in every state.
    if (action == UserAction::TakeOver && !BtExit->isEnabled()) {
        return;
    }
    if (action == UserAction::TakeOver) {
        BtExitClick();
    } else {
        Connectreset();
    }
}

void TFormmain::BtExitClick() {
    if (!MayStartNow(UserAction::TakeOver)) {
        return;
    }
    runningAction_ = UserAction::TakeOver;
    BtExit->setEnabled(false);
    const bool written = Link->schreibeCSV_Datei([this] { return ManualEntriesNow(); });
    runningAction_ = UserAction::None;
    if (written) {
        Link->ClosePort();
        close();
    }
    // Otherwise the user has been told what failed; the values stay on screen, and the
    // poll tick enables the button again while data arrives.
    QMetaObject::invokeMethod(this, &TFormmain::RunPendingAction, Qt::QueuedConnection);
}

bool TFormmain::PressedUnattended() const {
    return presser_ != nullptr && presser_->Pressing();
}

void TFormmain::BTBreakClick() {
    if (!PressedUnattended()) {
        qCInfo(lcUi).noquote() << "click: Abbrechen";
    }
    Link->Abort();
}

void TFormmain::SetHelpWindow(TForm1* help) {
    helpWindow_ = help;
    if (help != nullptr) {
        help->setWindowIcon(windowIcon());  // a window of the same program
    }
}

void TFormmain::BtWastunClick() {
    if (helpWindow_ != nullptr) {
        helpWindow_->show();
        helpWindow_->raise();
        // Already open behind the main window, it must come to the keyboard as well.
        helpWindow_->activateWindow();
    }
}

void TFormmain::Connectreset() {
    if (!MayStartNow(UserAction::Reconnect)) {
        return;
    }
    runningAction_ = UserAction::Reconnect;
    Link->ClosePort();
    Link->ShowErrorState();
    Link->StartLink();
    if (Link->ErrorCode() != kErrNone) {
        // The search failed: nothing to take over until data flows again, when the poll
        // tick enables the button.
        BtExit->setEnabled(false);
    }
    runningAction_ = UserAction::None;
    QMetaObject::invokeMethod(this, &TFormmain::RunPendingAction, Qt::QueuedConnection);
}

void TFormmain::ZeigeHilfeText(int code) {
    if (helpWindow_ != nullptr) {
        helpWindow_->ZeigeHilfeText(code);
    }
}

void TFormmain::SetPortsWithoutPermission(const QStringList& ports) {
    if (helpWindow_ != nullptr) {
        helpWindow_->SetPortsWithoutPermission(ports);
    }
}

void TFormmain::ShowErrorBox(const QString& message) {
    ::ShowErrorBox(message);
}

void TFormmain::ShowInfoBox(const QString& message) {
    ::ShowInfoBox(message);
}

void TFormmain::closeEvent(QCloseEvent* event) {
    // Closing ends the program: a wait still running (a search over many ports, say)
    // ends at its next pass instead of carrying on behind a closed window.
    qCInfo(lcUi).noquote() << "the main window closes";
    Link->Abort();
    QWidget::closeEvent(event);
}
