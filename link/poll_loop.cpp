#include "link/poll_loop.h"

#include <algorithm>
#include <array>

#include "data/conversions.h"
#include "data/cp1252.h"
#include "data/quoted_bytes.h"
#include "link/link_logging.h"
#include "link/status_texts.h"
#include "serial/tcomm.h"

PollLoop::PollLoop(TComm& comm, CommandExchange& exchange, PortSearch& search,
                   MeasurementRecord& record, LinkView& view, DebugLog& debugLog, LinkClock& clock,
                   LinkTimers timers)
    : comm_(comm),
      exchange_(exchange),
      search_(search),
      record_(record),
      view_(view),
      debugLog_(debugLog),
      clock_(clock),
      timers_(timers) {}

void PollLoop::Start() {
    firstTick_ = true;
    timers_.poll.Start();
}

void PollLoop::CheckData730(std::string_view line) {
    ++dataLinesDecoded_;
    mean_.Feed(line, clock_.Now());
    const bool decoded = DecodeDataLine(record_, line);
    if (decoded) {
        RecordDataLine(line);
    } else {
        // A late reply (the "OK" to a stream request) or noise: in the record a reply, as
        // the exchange's own are, so that it reads as one and a replay sends it as one.
        qCInfo(lcLink).noquote() << QStringLiteral("COM%1 < %2 (read among the data lines)")
                                        .arg(comm_.Port())
                                        .arg(QString::fromStdString(QuoteBytes(line)));
    }
    if (decoded) {
        if (onlineCountdown_ == 0) {
            qCInfo(lcLink).noquote() << "stream: online data";
        }
        onlineCountdown_ = kOnlineTicks;
    }
}

void PollLoop::RecordDataLine(std::string_view line) {
    const int32_t parameter = ParseIntLoose(line.substr(0, std::min<size_t>(3, line.size())));
    lastLines_[parameter] = std::string(line);
    const auto now = clock_.Now();
    bool take = false;
    if (recordedLines_ < kRecordedFirstLines) {
        ++recordedLines_;
        take = true;
        nextSampleAt_ = now + kRecordedCycleEvery;
    } else if (sampling_ && sampled_.count(parameter) == 0) {
        take = true;
    } else if (sampling_) {
        sampling_ = false;  // the cycle is complete: its first quantity comes again
        nextSampleAt_ = now + kRecordedCycleEvery;
    } else if (now >= nextSampleAt_) {
        sampling_ = true;
        sampled_.clear();
        take = true;
    }
    if (sampling_ && take) {
        sampled_.insert(parameter);
    }
    const QString text = QStringLiteral("COM%1 data %2")
                             .arg(comm_.Port())
                             .arg(QString::fromStdString(QuoteBytes(line)));
    if (take) {
        qCInfo(lcLink).noquote() << text;
    } else {
        qCDebug(lcLink).noquote() << text;
    }
}

QString PollLoop::MeanWaitText() const {
    const auto left = mean_.Window() - mean_.Filled(clock_.Now());
    return QStringLiteral("Mittelwert: noch %1 s bis zur Übernahme").arg(left.count());
}

void PollLoop::RecordLastValues() {
    qCInfo(lcLink).noquote() << QStringLiteral("take-over: the last line of each quantity");
    for (const auto& [parameter, line] : lastLines_) {
        qCInfo(lcLink).noquote() << QStringLiteral("COM%1 data %2")
                                        .arg(comm_.Port())
                                        .arg(QString::fromStdString(QuoteBytes(line)));
    }
}

void PollLoop::NoteErrorState() {
    const int32_t code = exchange_.ErrorCode();
    if (code == recordedErrorCode_) {
        return;
    }
    recordedErrorCode_ = code;
    if (code > 0) {
        qCInfo(lcLink).noquote()
            << QStringLiteral("error state %1: %2").arg(code).arg(ErrorStatusText(code));
    } else {
        qCInfo(lcLink).noquote() << "error state cleared";
    }
}

void PollLoop::SetMeanSwitch(std::optional<int> seconds) {
    meanSwitch_ = seconds;
    ChooseMeanWindow();
}

void PollLoop::ChooseMeanWindow() {
    const MeanChoice choice = ChooseMean(meanSwitch_, search_.MeanSetting());
    if (!choice.refusedSetting.empty() && choice.refusedSetting != meanSettingRefused_) {
        meanSettingRefused_ = choice.refusedSetting;
        qCInfo(lcLink).noquote() << QStringLiteral("mean: %1=%2 in the settings file refused")
                                        .arg(QLatin1String(kMeanSettingsKey),
                                             QString::fromStdString(
                                                 QuoteBytes(choice.refusedSetting)));
        view_.ShowInfoBox(QString::fromStdString(
            MeanRefusalText(kMeanSettingsKey, Cp1252ToUtf8(choice.refusedSetting))));
    }
    if (choice.seconds == meanChoice_.seconds && choice.source == meanChoice_.source) {
        return;
    }
    meanChoice_ = choice;
    mean_.SetWindow(std::chrono::seconds(choice.seconds));
    view_.ShowMeanFill(0, choice.seconds);
    const char* const by =
        choice.source == MeanSource::Switch ? "the switch --mean" : "the settings file";
    if (choice.seconds > 0) {
        qCInfo(lcLink).noquote()
            << QStringLiteral("mean: over %1 s, asked for by %2").arg(choice.seconds).arg(by);
    } else if (choice.source != MeanSource::None) {
        qCInfo(lcLink).noquote() << QStringLiteral("mean: off, by %1").arg(by);
    } else {
        qCInfo(lcLink).noquote() << "mean: off, the settings file no longer asks for it";
    }
}

void PollLoop::StartLink() {
    debugLog_.Add("Debug-Log");
    mean_.Clear();
    const int32_t found = search_.SearchDevice();
    ChooseMeanWindow();
    if (found > 0) {
        // A new stream: the record takes its first lines again.
        recordedLines_ = 0;
        sampling_ = false;
        view_.SetBtWastunVisible(false);
        view_.ShowConnectionPicture(2);
        search_.OpenDevicePort();
        SwitchOn(timers_.poll);
        return;
    }
    const int32_t code = exchange_.ErrorCode();
    NoteErrorState();
    if (code >= 1 && code <= 6) {
        view_.SetStatusMessage(ErrorStatusText(code));
    }
    if (code > 0) {
        view_.ShowConnectionPicture(1);
        SwitchOn(timers_.retry);
    } else {
        timers_.retry.Stop();
    }
}

bool PollLoop::ReadDataLines() {
    // Everything queued at this moment is taken, and every line completed in it decoded:
    // one line per tick could not keep up with an analyser that sends more than ten
    // lines a second. Bytes arriving meanwhile wait for the next tick, so a fast sender
    // cannot hold the tick in this loop.
    std::array<uint8_t, 256> chunk{};
    uint32_t pending = comm_.InQueueCount();
    bool completed = false;
    while (pending > 0) {
        const int32_t wanted = static_cast<int32_t>(std::min<uint32_t>(pending, chunk.size()));
        const int32_t got = comm_.ReadBuffer(chunk.data(), wanted);
        if (got <= 0) {
            break;
        }
        pending -= static_cast<uint32_t>(got);
        for (int32_t i = 0; i < got; ++i) {
            if (lineBuffer_.Feed(chunk[static_cast<size_t>(i)])) {
                completed = true;
                CheckData730(lineBuffer_.Line());
            }
        }
    }
    return completed;
}

void PollLoop::Tick() {
    if (exchange_.Busy()) {
        // A search, exchange or take-over waits in the event loop: the bytes on the
        // port are its reply, and a second search must not start inside the first.
        return;
    }
    timers_.poll.Stop();
    if (firstTick_) {
        StartLink();
        firstTick_ = false;
    }
    if (search_.Connected()) {
        if (ReadDataLines()) {
            // A complete data line proves the link works: one keep-alive that timed out
            // must not silence every later one.
            exchange_.SetErrorCode(kErrNone);
            exchange_.ClearErrorFlag();
        } else {
            --keepAliveCounter_;
        }
        if (keepAliveCounter_ <= 0) {
            keepAliveCounter_ = kKeepAliveTicks;
            exchange_.Exchange("w904");
            // A data line that arrived in place of the reply is kept. Only a whole one: a
            // stream without line ends glued to the reply must not count as online data.
            if (IsDataLine(exchange_.ReplyLine())) {
                CheckData730(exchange_.ReplyLine());
            }
        }
        if (onlineCountdown_ > 0) {
            if (--onlineCountdown_ == 0) {
                qCInfo(lcLink).noquote() << "stream: no data line for 5 s";
            }
            view_.SetStatusMessage(waitingForMean_ ? MeanWaitText() : kStatusOnline);
            view_.ShowConnectionPicture(3);
            view_.SetBtExitEnabled(true);
        } else if (exchange_.ErrorCode() == kErrNone) {
            view_.SetStatusMessage(kStatusStandby);
            view_.ShowConnectionPicture(2);
            view_.SetBtExitEnabled(false);
        }
    }
    if (exchange_.Aborted()) {
        search_.ClosePort();
        view_.CloseMainWindow();
        return;
    }
    if (exchange_.ErrorCode() > 0 || (search_.Connected() && comm_.HungUp())) {
        // A mean must not span values from before and after the stream broke off.
        mean_.Clear();
    }
    if (exchange_.ErrorCode() > 0) {
        ShowErrorState();
    }
    NoteErrorState();
    view_.DispData(record_);
    if (mean_.On()) {
        view_.ShowMeanFill(static_cast<int>(mean_.Filled(clock_.Now()).count()),
                           static_cast<int>(mean_.Window().count()));
    }
    SwitchOn(timers_.poll);
}

void PollLoop::ShowErrorState() {
    NoteErrorState();
    const int32_t code = exchange_.ErrorCode();
    if (code >= 1 && code <= 7) {
        view_.SetStatusMessage(ErrorStatusText(code));
    }
    if (code > 0) {
        view_.ShowConnectionPicture(1);
        view_.ZeigeHilfeText(code);
        view_.SetBtWastunVisible(true);
        SwitchOn(timers_.retry);
    } else {
        timers_.retry.Stop();
    }
}

void PollLoop::RetryTick() {
    ShowErrorState();
    if (!exchange_.ErrorFlag()) {
        SwitchOn(timers_.poll);
    }
}
