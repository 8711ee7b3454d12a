#include "link/take_over.h"

#include <QStringList>
#include <optional>

#include "config/atomic_write.h"
#include "config/transfer_path_check.h"
#include "link/link_logging.h"
#include "link/poll_loop.h"
#include "link/status_texts.h"

namespace {

const QString kNoReplyTakeOver = QStringLiteral(
    "Keine Antwort vom Messgerät: die Werte wurden nicht übernommen.\n"
    "Bitte das Messgerät prüfen, mit einem Doppelklick auf das Bluetooth-Symbol neu "
    "verbinden und erneut \"Daten übernehmen\" wählen.");

const QString kProgramGoesOn =
    QStringLiteral("Die Werte werden trotzdem angezeigt; \"Daten übernehmen\" versucht es erneut.");
// Without a path no later try can succeed: only the calling program can give one.
const QString kNoPathGiven = QStringLiteral(
    "Die Werte werden trotzdem angezeigt, aber ohne Pfad kann \"Daten übernehmen\" keine "
    "Datei schreiben: das aufrufende Programm muss den Pfad der Übergabedatei als drittes "
    "Argument übergeben.");

}  // namespace

TakeOver::TakeOver(CommandExchange& exchange, PollLoop& poll, const MeasurementRecord& record,
                   LinkView& view, DebugLog& debugLog, LinkClock& clock,
                   LinkClock::Timer& pollTimer, CommandLine request)
    : exchange_(exchange),
      poll_(poll),
      record_(record),
      view_(view),
      debugLog_(debugLog),
      clock_(clock),
      pollTimer_(pollTimer),
      request_(std::move(request)) {}

void TakeOver::LetLateClosesThrough() {
    for (int pass = 0; pass < 2; ++pass) {
        clock_.ProcessPendingEvents();
    }
}

void TakeOver::TellNoReply() {
    // The box below would block the window, and Qt drops a close of a blocked window: a
    // close still on its way would be lost, the window left behind the box.
    LetLateClosesThrough();
    // The box waits for OK: the window behind it must already show what went wrong, not
    // the take-over that was running.
    if (exchange_.ErrorCode() == kErrNone) {
        exchange_.SetErrorCode(kErrNoReply);
    }
    poll_.ShowErrorState();
    // After "Abbrechen" the next poll tick closes the window; nothing to explain then.
    if (!exchange_.Aborted()) {
        view_.ShowInfoBox(kNoReplyTakeOver);
    }
}

bool TakeOver::WaitForFullMean() {
    const RunningMean& mean = poll_.Mean();
    const auto pressedAt = clock_.Now();
    if (!mean.Full(pressedAt)) {
        qCInfo(lcLink).noquote() << QStringLiteral(
                                        "take-over: waits for the mean's window (%1 of %2 s)")
                                        .arg(mean.Filled(pressedAt).count())
                                        .arg(mean.Window().count());
        poll_.SetWaitingForMean(true);
        view_.SetStatusMessage(poll_.MeanWaitText());
    }
    // Not busy meanwhile: the poll loop must go on reading the values the mean waits for.
    // A press just after the window was emptied (a keep-alive that went unanswered once)
    // waits for the next stretch as long as a gap allows.
    std::optional<std::chrono::milliseconds> stretch =
        mean.Live(pressedAt) ? mean.StretchStart() : std::nullopt;
    bool brokeOff = false;
    while (!mean.Full(clock_.Now()) && !exchange_.Aborted()) {
        const auto now = clock_.Now();
        if (!stretch && mean.Live(now)) {
            stretch = mean.StretchStart();
        }
        if (stretch ? !mean.Live(now) || mean.StretchStart() != stretch
                    : now - pressedAt >= RunningMean::kGap) {
            brokeOff = true;
            break;
        }
        clock_.WaitForEvents();
    }
    poll_.SetWaitingForMean(false);
    if (exchange_.Aborted()) {
        qCInfo(lcLink).noquote() << "take-over: no transfer file: ended by 'Abbrechen' or the "
                                    "window's close while it waited for the mean";
        return false;
    }
    if (brokeOff) {
        qCInfo(lcLink).noquote()
            << "take-over: no transfer file: the stream broke off while it waited for the mean";
        TellNoReply();
        return false;
    }
    return true;
}

MeasurementRecord TakeOver::TakeMeans() {
    const RunningMean& mean = poll_.Mean();
    const auto now = clock_.Now();
    QStringList counts;
    for (const ChannelInfo& info : kChannelTable) {
        const int count = mean.Mean(info.channel, now).count;
        if (count > 0) {
            counts << QStringLiteral("%1 %2").arg(QString::fromLatin1(info.words)).arg(count);
        }
    }
    qCInfo(lcLink).noquote() << QStringLiteral("take-over: the means of the last %1 s, values: %2")
                                    .arg(mean.Window().count())
                                    .arg(counts.isEmpty() ? QStringLiteral("none")
                                                          : counts.join(QStringLiteral(", ")));
    return mean.Means(now);
}

bool TakeOver::Run(const ManualEntriesSource& entries, std::string_view so2Key) {
    // The values are taken when the window is full, before the service sequence stops the
    // stream.
    std::optional<MeasurementRecord> means;
    if (poll_.Mean().On()) {
        if (!WaitForFullMean()) {
            return false;
        }
        means = TakeMeans();
    }
    CommandExchange::BusyScope busy(exchange_);
    pollTimer_.Stop();
    // It takes a few seconds with a slow analyser, and nothing else on screen moves.
    const QString statusBefore = view_.StatusMessage();
    view_.SetStatusMessage(kStatusTakingOver);

    exchange_.ServiceSequence();
    // An analyser may go on sending data lines for a while after the service commands;
    // what is still on its way must not be read as the answer to a request.
    exchange_.LetStreamRunOut();

    // The debug log is the file's line buffer: what the search collected is dropped.
    TransferFileBuilder file;
    file.AddHeaderLine(request_.headerLine);
    debugLog_.Replace(file.Lines());

    bool written = false;
    if (exchange_.ErrorFlag()) {
        qCInfo(lcLink).noquote() << "take-over: no transfer file:"
                                 << (exchange_.Aborted()
                                         ? "ended by 'Abbrechen' or the window's close"
                                         : "the service sequence went unanswered");
        TellNoReply();
    } else {
        file.AddValueLines(means ? *means : record_, entries ? entries() : ManualEntries{},
                           request_.firingTypeParameter, so2Key);

        bool identified = true;
        for (const IdentificationRequest& request : kIdentificationRequests) {
            if (!exchange_.RequestIdentification(request.command,
                                                 CommandExchange::Asker::TakeOver)) {
                identified = false;
                break;
            }
            file.AddIdentificationLine(request.key, exchange_.ReplyLine());
        }
        // A close that came with the last reply ends the take-over as one during any other
        // of its waits does: without a file, and without asking for the stream again.
        if (identified) {
            LetLateClosesThrough();
            if (exchange_.Aborted()) {
                exchange_.SetErrorCode(kErrUserAbort);
                exchange_.SetErrorFlag();
                identified = false;
            }
        }
        debugLog_.Replace(file.Lines());

        if (!identified) {
            qCInfo(lcLink).noquote()
                << "take-over: no transfer file:"
                << (exchange_.Aborted() ? "ended by 'Abbrechen' or the window's close"
                                        : "an identification request went unanswered");
            TellNoReply();
        } else {
            std::string error;
            WriteFileFailure failure;
            written =
                WriteFileAtomically(request_.transferFilePath, file.Bytes(), &error, &failure);
            const QString path = QString::fromUtf8(request_.transferFilePath);
            if (written) {
                qCInfo(lcLink).noquote() << QStringLiteral(
                                                "take-over: transfer file %1 written "
                                                "(%2 lines)")
                                                .arg(path)
                                                .arg(file.Lines().size());
            } else {
                qCInfo(lcLink).noquote()
                    << QStringLiteral("take-over: transfer file %1 not written: %2")
                           .arg(path, QString::fromStdString(error));
            }
            if (!written) {
                // The link is as healthy as before: only the file failed. Paths are UTF-8
                // on Windows, and Qt takes a Linux file name as UTF-8 too.
                view_.SetStatusMessage(statusBefore);
                // One reason in German; the English one, with the temporary file's name,
                // went to the record above.
                view_.ShowInfoBox(
                    WithReason(QStringLiteral("Fehler beim Speichern der Datei ") +
                                   QString::fromUtf8(request_.transferFilePath),
                               TransferWriteProblem(request_.transferFilePath, failure)));
            }
        }
    }

    exchange_.StreamRequest();
    SwitchOn(pollTimer_);
    return written;
}

void TakeOver::CheckTransferPath() {
    const std::string problem = TransferPathProblem(request_.transferFilePath);
    if (problem.empty()) {
        return;
    }
    QString text = QString::fromUtf8(kTransferPathProblemText) + QLatin1Char(':');
    if (!request_.transferFilePath.empty()) {
        text += QLatin1Char('\n') + QString::fromUtf8(request_.transferFilePath);
    }
    view_.ShowInfoBox(text + QLatin1Char('\n') + QString::fromUtf8(problem) + QLatin1Char('\n') +
                      (request_.transferFilePath.empty() ? kNoPathGiven : kProgramGoesOn));
}
