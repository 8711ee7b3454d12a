// What the main window's buttons, its first show and the double-click on the connection
// picture do. The work itself is the link's.

#include <QCloseEvent>

#include "app/command_line.h"
#include "ui/form1.h"
#include "ui/formmain.h"
#include "ui/message_boxes.h"

namespace {

/// Firing types whose transfer file carries smoke numbers (compared as whole texts).
bool SmokeNumbersWanted(const std::string& firingType) {
    return firingType == "1" || firingType == "7" || firingType == "14";
}

}  // namespace

void TFormmain::ConnectActions() {
    connect(this, &TFormmain::firstShown, this, [this] { FormShow(); });
    connect(BtExit, &QPushButton::clicked, this, [this] { BtExitClick(); });
    connect(BTBreak, &QPushButton::clicked, this, [this] { BTBreakClick(); });
    connect(BtWastun, &QPushButton::clicked, this, [this] { BtWastunClick(); });
    connect(Image, &TImage::doubleClicked, this, [this] { Connectreset(); });
}

void TFormmain::FormShow() {
    const CommandLine commandLine = ReadCommandLine(Arguments);
    Link->state.headerLine = commandLine.headerLine;
    Link->state.firingTypeParameter = commandLine.firingTypeParameter;
    Link->state.transferFilePath = commandLine.transferFilePath;

    const bool smoke = SmokeNumbersWanted(commandLine.firingTypeParameter);
    CBRZaktiv->setChecked(smoke);
    SetSmokeInputsEnabled(smoke);

    Link->state.firstTick = true;
    Timer1->start();
}

void TFormmain::BtExitClick() {
    if (actionRunning_ || Link->Busy()) {
        return;
    }
    actionRunning_ = true;
    BtExit->setEnabled(false);
    const bool written = Link->schreibeCSV_Datei();
    actionRunning_ = false;
    if (written) {
        Link->ClosePort();
        close();
    }
    // Otherwise the user has been told what failed; the values stay on screen, and the
    // poll tick enables the button again while data arrives.
}

void TFormmain::BTBreakClick() {
    Link->state.abortFlag = true;
}

void TFormmain::BtWastunClick() {
    if (Form1 != nullptr) {
        Form1->show();
        Form1->raise();
    }
}

void TFormmain::Connectreset() {
    // A wait in progress (a search, the take-over, or an exchange of the poll tick) owns
    // the port: a search started inside it would read its replies.
    if (actionRunning_ || Link->Busy()) {
        return;
    }
    actionRunning_ = true;
    Link->ClosePort();
    Link->ShowErrorState();
    Link->StartLink();
    actionRunning_ = false;
}

void TFormmain::ZeigeHilfeText(int code) {
    if (Form1 != nullptr) {
        Form1->ZeigeHilfeText(code);
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
    Link->state.abortFlag = true;
    QWidget::closeEvent(event);
}
