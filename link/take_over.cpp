// "Daten übernehmen": the measured values, the manual entries and the analyser's
// identification go into the transfer file for the calling program.

#include "config/atomic_write.h"
#include "data/transfer_file.h"
#include "link/busy_scope.h"
#include "link/device_link.h"
#include "link/status_texts.h"

namespace {

const QString kNoReplyTakeOver = QStringLiteral(
    "Keine Antwort vom Messgerät: die Werte wurden nicht übernommen.\n"
    "Bitte das Messgerät prüfen, mit einem Doppelklick auf das Bluetooth-Symbol neu "
    "verbinden und erneut \"Daten übernehmen\" wählen.");

}  // namespace

void DeviceLink::TellNoReply() {
    // The box waits for OK: the window behind it must already show what went wrong, not
    // the take-over that was running.
    if (state.errorCode == kErrNone) {
        state.errorCode = kErrNoReply;
    }
    ShowErrorState();
    // After "Abbrechen" the next poll tick closes the window; nothing to explain then.
    if (!state.abortFlag) {
        view_.ShowInfoBox(kNoReplyTakeOver);
    }
}

bool DeviceLink::schreibeCSV_Datei() {
    BusyScope busy(*this);
    timer1_.stop();
    // It takes a few seconds with a slow analyser, and nothing else on screen moves.
    const QString statusBefore = view_.StatusMessage();
    view_.SetStatusMessage(kStatusTakingOver);

    ServiceSequence();
    // An analyser may go on sending data lines for a while after the service commands;
    // what is still on its way must not be read as the answer to a request.
    LetStreamRunOut();

    TransferFileBuilder file;
    file.AddHeaderLine(state.headerLine);
    state.debugLog = file.Lines();

    bool written = false;
    if (state.errorFlag) {
        TellNoReply();
    } else {
        const ManualEntries entries{
            view_.BoilerTemperature(), view_.SmokeNumber(1),       view_.SmokeNumber(2),
            view_.SmokeNumber(3),      view_.SmokeInputsChecked(), view_.DerivateIndex(),
        };
        file.AddValueLines(record_, entries, state.firingTypeParameter, state.so2Key);

        bool identified = true;
        for (const IdentificationRequest& request : kIdentificationRequests) {
            if (!RequestIdentification(request.command, Asker::TakeOver)) {
                identified = false;
                break;
            }
            file.AddIdentificationLine(request.key, state.replyLine);
        }
        state.debugLog = file.Lines();

        if (!identified) {
            TellNoReply();
        } else {
            std::string error;
            written = WriteFileAtomically(state.transferFilePath, file.Bytes(), &error);
            if (!written) {
                // The link is as healthy as before: only the file failed. Paths are UTF-8
                // on Windows, and Qt takes a Linux file name as UTF-8 too.
                view_.SetStatusMessage(statusBefore);
                view_.ShowInfoBox(QStringLiteral("Fehler beim Speichern der Datei ") +
                                  QString::fromUtf8(state.transferFilePath));
            }
        }
    }

    StreamRequest();
    SwitchOn(timer1_);
    return written;
}
