// The 100 ms poll loop: connects on the first tick, decodes the analyser's data lines,
// keeps the stream alive and shows the state of the link.

#include <array>

#include "data/conversions.h"
#include "link/busy_scope.h"
#include "link/device_link.h"
#include "link/status_texts.h"
#include "serial/tcomm.h"

void DeviceLink::CheckData730(std::string_view line) {
    ++state.dataLinesDecoded;
    DecodeDataLine(record_, line);
}

void DeviceLink::StartLink() {
    AddDebug("Debug-Log");
    if (SearchDevice() > 0) {
        view_.SetBtWastunVisible(false);
        view_.ShowConnectionPicture(2);
        OpenDevicePort();
        SwitchOn(timer1_);
        return;
    }
    if (state.errorCode >= 1 && state.errorCode <= 6) {
        view_.SetStatusMessage(ErrorStatusText(state.errorCode));
    }
    if (state.errorCode > 0) {
        view_.ShowConnectionPicture(1);
        SwitchOn(timer2_);
    } else {
        timer2_.stop();
    }
}

bool DeviceLink::ReadDataLines() {
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

void DeviceLink::Timer1Timer() {
    if (Busy()) {
        // A search, exchange or take-over waits in the event loop: the bytes on the
        // port are its reply, and a second search must not start inside the first.
        return;
    }
    timer1_.stop();
    if (state.firstTick) {
        StartLink();
        state.firstTick = false;
    }
    if (state.connected) {
        if (ReadDataLines()) {
            // A complete data line proves the link works: one keep-alive that timed out
            // must not silence every later one.
            state.errorCode = kErrNone;
            state.errorFlag = false;
        } else {
            --state.keepAliveCounter;
        }
        if (state.keepAliveCounter <= 0) {
            state.keepAliveCounter = kKeepAliveTicks;
            Exchange("w904");
            // A data line that arrived in place of the reply is kept. Only a whole one: a
            // stream without line ends glued to the reply must not count as online data.
            if (IsDataLine(state.replyLine)) {
                CheckData730(state.replyLine);
            }
        }
        if (record_.onlineCountdown > 0) {
            --record_.onlineCountdown;
            view_.SetStatusMessage(kStatusOnline);
            view_.ShowConnectionPicture(3);
            view_.SetBtExitEnabled(true);
        } else if (state.errorCode == kErrNone) {
            view_.SetStatusMessage(kStatusStandby);
            view_.ShowConnectionPicture(2);
            view_.SetBtExitEnabled(false);
        }
    }
    if (state.abortFlag) {
        ClosePort();
        view_.CloseMainWindow();
        return;
    }
    if (state.errorCode > 0) {
        ShowErrorState();
    }
    view_.DispData();
    SwitchOn(timer1_);
}

void DeviceLink::ShowErrorState() {
    if (state.errorCode >= 1 && state.errorCode <= 7) {
        view_.SetStatusMessage(ErrorStatusText(state.errorCode));
    }
    if (state.errorCode > 0) {
        view_.ShowConnectionPicture(1);
        view_.ZeigeHilfeText(state.errorCode);
        view_.SetBtWastunVisible(true);
        SwitchOn(timer2_);
    } else {
        timer2_.stop();
    }
}

void DeviceLink::Timer2Timer() {
    ShowErrorState();
    if (!state.errorFlag) {
        SwitchOn(timer1_);
    }
}
