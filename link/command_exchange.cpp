// The command exchange: one command out, one CR-framed reply line back; and the command
// sequences the search and the take-over send.

#include <QCoreApplication>
#include <QEventLoop>
#include <algorithm>
#include <array>
#include <utility>

#include "link/busy_scope.h"
#include "link/device_link.h"
#include "link/status_texts.h"
#include "serial/tcomm.h"

namespace {
constexpr uint8_t kCR = 0x0D;
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
    bool complete = false;
    do {
        if (linkComingUp && comm_.OutQueueCount() == 0) {
            linkComingUp = false;
            state.timeoutCounter = kReplyTicks;
        }
        // Byte by byte: whatever follows the CR stays queued for the poll tick.
        const uint32_t queued = std::min(comm_.InQueueCount(), kBytesPerPass);
        uint32_t taken = 0;
        while (taken < queued && comm_.ReadBuffer(&state.lastByte, 1) == 1) {
            ++taken;
            if (reply.Feed(state.lastByte) || state.lastByte == kCR) {
                complete = true;
                break;
            }
        }
        state.replyLine = reply.Line();
        if (complete) {
            break;
        }
        LetEventsRun(taken == kBytesPerPass);
    } while (state.timeoutCounter != 0 && !state.abortFlag && !comm_.HungUp());

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

void DeviceLink::Drain() {
    if (state.errorFlag) {
        return;
    }
    BusyScope busy(*this);
    state.timeoutCounter = 1;
    // One buffer per pass: emptying the queue first would let a port that never falls
    // quiet keep the drain from ever seeing its tick.
    std::array<uint8_t, kBytesPerPass> discard{};
    bool bytesLeft = false;
    do {
        LetEventsRun(bytesLeft);
        const int32_t got = comm_.ReadBuffer(discard.data(), static_cast<int32_t>(discard.size()));
        bytesLeft = got == static_cast<int32_t>(discard.size());
    } while (state.timeoutCounter != 0);
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
