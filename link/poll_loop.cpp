#include "link/poll_loop.h"

#include <algorithm>
#include <array>

#include "link/status_texts.h"
#include "serial/tcomm.h"

PollLoop::PollLoop(TComm& comm, CommandExchange& exchange, PortSearch& search,
                   MeasurementRecord& record, LinkView& view, DebugLog& debugLog, LinkTimers timers)
    : comm_(comm),
      exchange_(exchange),
      search_(search),
      record_(record),
      view_(view),
      debugLog_(debugLog),
      timers_(timers) {}

void PollLoop::Start() {
    firstTick_ = true;
    timers_.poll.Start();
}

void PollLoop::CheckData730(std::string_view line) {
    ++dataLinesDecoded_;
    if (DecodeDataLine(record_, line)) {
        onlineCountdown_ = kOnlineTicks;
    }
}

void PollLoop::StartLink() {
    debugLog_.Add("Debug-Log");
    if (search_.SearchDevice() > 0) {
        view_.SetBtWastunVisible(false);
        view_.ShowConnectionPicture(2);
        search_.OpenDevicePort();
        SwitchOn(timers_.poll);
        return;
    }
    const int32_t code = exchange_.ErrorCode();
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
            --onlineCountdown_;
            view_.SetStatusMessage(kStatusOnline);
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
    if (exchange_.ErrorCode() > 0) {
        ShowErrorState();
    }
    view_.DispData(record_);
    SwitchOn(timers_.poll);
}

void PollLoop::ShowErrorState() {
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
