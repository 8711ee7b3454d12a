// The command exchange: one command out, one CR-framed reply line back; and the command
// sequences the search and the take-over send, the identification requests among them.

#include <QCoreApplication>
#include <QEventLoop>
#include <algorithm>
#include <array>
#include <utility>

#include "data/measurement.h"
#include "link/busy_scope.h"
#include "link/device_link.h"
#include "link/status_texts.h"
#include "serial/tcomm.h"

namespace {

constexpr uint8_t kCR = 0x0D;

/// A data line is what an analyser that streams on sends in place of the answer, or just
/// before it; it is nobody's identification.
bool IsAnswer(std::string_view request, const std::string& reply, bool analyserKnown) {
    if (reply.empty() || IsDataLine(reply)) {
        return false;
    }
    // Once the port is known to be the analyser's, an R001 reply without "ZOR" is a line
    // from elsewhere, not the analyser's identity.
    return !analyserKnown || request != "R001" || DeviceLink::IsAnalyserReply(reply);
}

}  // namespace

bool DeviceLink::IsAnalyserReply(std::string_view reply) {
    return reply.find("ZOR") != std::string_view::npos;
}

void DeviceLink::WaitForEvents() {
    // Blocks until the event loop has something: the port's receive notification, a
    // timer tick or user input. Never spins.
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void DeviceLink::LetEventsRun(bool bytesLeft) {
    if (bytesLeft) {
        // Bytes are waiting already: no notification will announce them, so the wait
        // must not sleep, only let timers and clicks through before reading on.
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    } else {
        WaitForEvents();
    }
}

void DeviceLink::Exchange(std::string_view command) {
    if (state.errorFlag) {
        state.replyLine.clear();
        return;
    }
    BusyScope busy(*this);
    for (char c : command) {
        comm_.WriteByte(static_cast<uint8_t>(c));
    }
    comm_.WriteByte(kCR);

    state.lastByte = 0;
    state.replyLine.clear();
    state.timeoutCounter = kReplyTicks;
    // The first command on a Bluetooth link waits in the driver's output queue until the
    // link is up (rfcomm keeps it there; on Windows the link is up once the open returned,
    // and a stack that returns earlier keeps it queued): the link may take until
    // kLinkWaitMs after the open, and the reply has its usual second from the moment the
    // queue has run empty. A device that is not the analyser so costs its connection and
    // one second, not ten.
    const LinkWait linkWait = std::exchange(linkWait_, LinkWait::None);
    if (linkWait != LinkWait::None) {
        state.timeoutCounter = std::max(kReplyTicks, LinkTicksLeft());
    }
    bool linkComingUp = linkWait == LinkWait::OutQueue;
    // The reply is framed like a data line: one longer than any the analyser sends is
    // dropped rather than kept growing, and its CR still ends the wait.
    LineAssembler reply;
    const bool complete = ReadToLineEnd(reply, linkComingUp ? &linkComingUp : nullptr);
    state.replyLine = reply.Line();

    // A port that hung up never answers: no need to wait for the timeout.
    if (state.timeoutCounter == 0 || (!complete && comm_.HungUp())) {
        state.errorCode = kErrNoReply;
        state.errorFlag = true;
        linkFailed_ = linkWait != LinkWait::None && comm_.HungUp();
    }
    if (state.abortFlag) {
        state.errorCode = kErrUserAbort;
        state.errorFlag = true;
    }
}

bool DeviceLink::ReadToLineEnd(LineAssembler& line, bool* linkComingUp) {
    do {
        if (linkComingUp != nullptr && *linkComingUp && comm_.OutQueueCount() == 0) {
            // The command has left: the link is up, and the reply has its usual second.
            *linkComingUp = false;
            state.timeoutCounter = kReplyTicks;
        }
        // Byte by byte: whatever follows the CR stays queued for the poll tick.
        const uint32_t queued = std::min(comm_.InQueueCount(), kBytesPerPass);
        uint32_t taken = 0;
        while (taken < queued && comm_.ReadBuffer(&state.lastByte, 1) == 1) {
            ++taken;
            if (line.Feed(state.lastByte) || state.lastByte == kCR) {
                return true;
            }
        }
        LetEventsRun(taken == kBytesPerPass);
    } while (state.timeoutCounter != 0 && !state.abortFlag && !comm_.HungUp());
    return false;
}

bool DeviceLink::DiscardUntilTick(bool& lineOpen) {
    state.timeoutCounter = 1;
    // One buffer per pass: emptying the queue first would let a port that never falls
    // quiet keep the drain from ever seeing its tick.
    std::array<uint8_t, kBytesPerPass> discard{};
    bool bytesLeft = false;
    bool took = false;
    do {
        LetEventsRun(bytesLeft);
        const int32_t got = comm_.ReadBuffer(discard.data(), static_cast<int32_t>(discard.size()));
        if (got > 0) {
            took = true;
            lineOpen = discard[static_cast<size_t>(got - 1)] != kCR;
        }
        bytesLeft = got == static_cast<int32_t>(discard.size());
    } while (state.timeoutCounter != 0);
    return took;
}

void DeviceLink::Drain() {
    if (state.errorFlag) {
        return;
    }
    BusyScope busy(*this);
    bool lineOpen = false;
    DiscardUntilTick(lineOpen);
}

void DeviceLink::LetStreamRunOut() {
    if (state.errorFlag) {
        return;
    }
    BusyScope busy(*this);
    bool lineOpen = false;
    // The first pass ends at the next tick, however soon that comes: only a whole tick
    // without a byte shows that nothing streams any more.
    bool quiet = false;
    for (int pass = 0; pass <= kRunOutTicks && !quiet && !state.abortFlag; ++pass) {
        quiet = !DiscardUntilTick(lineOpen) && pass > 0;
    }
    if (lineOpen) {
        // It streams on, or stopped inside a line: the rest of that line would be taken for
        // the reply to the next request. A line never ends: the request's wait ends it.
        LineAssembler rest;
        state.timeoutCounter = 1;
        ReadToLineEnd(rest);
    }
}

void DeviceLink::TimeouttimerTimer() {
    if (state.timeoutCounter > 0) {
        --state.timeoutCounter;
    }
}

void DeviceLink::ServiceSequence() {
    for (int i = 0; i < 3; ++i) {
        Exchange("SERVICE002");
        Exchange("SERVICE001");
    }
}

void DeviceLink::StreamRequest() {
    for (int i = 0; i < 3; ++i) {
        Exchange("w904");
    }
}

bool DeviceLink::RequestIdentification(std::string_view request, Asker asker) {
    const bool takeOver = asker == Asker::TakeOver;
    for (int attempt = 0; attempt < kMaxEmptyReplies; ++attempt) {
        if (takeOver) {
            // The analyser may still be busy with the service mode: an empty command clears
            // its line.
            Exchange("");
        }
        LetStreamRunOut();
        Exchange(request);
        if (takeOver) {
            QCoreApplication::processEvents();
        }
        if (state.errorFlag) {
            state.replyLine.clear();
            return false;
        }
        if (IsAnswer(request, state.replyLine, takeOver)) {
            return true;
        }
    }
    state.replyLine.clear();
    state.errorCode = kErrNoReply;
    state.errorFlag = true;
    return false;
}
