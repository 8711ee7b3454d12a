#include "link/command_exchange.h"

#include <algorithm>
#include <array>
#include <utility>

#include "data/measurement.h"
#include "data/quoted_bytes.h"
#include "link/link_logging.h"
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
    return !analyserKnown || request != "R001" || CommandExchange::IsAnalyserReply(reply);
}

}  // namespace

CommandExchange::CommandExchange(TComm& comm, LinkClock& clock, std::function<void()> onWaitEnded)
    : comm_(comm), clock_(clock), onWaitEnded_(std::move(onWaitEnded)) {}

bool CommandExchange::IsAnalyserReply(std::string_view reply) {
    return reply.find("ZOR") != std::string_view::npos;
}

void CommandExchange::LetEventsRun(bool bytesLeft) {
    if (bytesLeft) {
        // Bytes are waiting already: no notification will announce them, so the wait
        // must not sleep, only let timers and clicks through before reading on.
        clock_.ProcessPendingEvents();
    } else {
        clock_.WaitForEvents();
    }
}

void CommandExchange::Exchange(std::string_view command) {
    if (errorFlag_) {
        replyLine_.clear();
        return;
    }
    BusyScope busy(*this);
    const QString port = QStringLiteral("COM%1").arg(comm_.Port());
    qCInfo(lcLink).noquote() << port << ">" << QString::fromStdString(QuoteBytes(command));
    const std::chrono::milliseconds sentAt = clock_.Now();
    for (char c : command) {
        comm_.WriteByte(static_cast<uint8_t>(c));
    }
    comm_.WriteByte(kCR);

    lastByte_ = 0;
    replyLine_.clear();
    timeoutCounter_ = kReplyTicks;
    // The first command on a Bluetooth link waits in the driver's output queue until the
    // link is up (rfcomm keeps it there; on Windows the link is up once the open returned,
    // and a stack that returns earlier keeps it queued): the link may take until
    // kLinkWait after the open, and the reply has its usual second from the moment the
    // queue has run empty. A device that is not the analyser so costs its connection and
    // one second, not ten.
    const LinkWait linkWait = std::exchange(linkWait_, LinkWait::None);
    if (linkWait != LinkWait::None) {
        timeoutCounter_ = std::max(kReplyTicks, LinkTicksLeft());
    }
    bool linkComingUp = linkWait == LinkWait::OutQueue;
    // The reply is framed like a data line: one longer than any the analyser sends is
    // dropped rather than kept growing, and its CR still ends the wait.
    LineAssembler reply;
    const bool complete = ReadToLineEnd(reply, linkComingUp ? &linkComingUp : nullptr);
    replyLine_ = reply.Line();

    // A port that hung up never answers: no need to wait for the timeout.
    if (timeoutCounter_ == 0 || (!complete && comm_.HungUp())) {
        errorCode_ = kErrNoReply;
        errorFlag_ = true;
        linkFailed_ = linkWait != LinkWait::None && comm_.HungUp();
    }
    if (abortFlag_) {
        errorCode_ = kErrUserAbort;
        errorFlag_ = true;
    }
    if (!errorFlag_) {
        qCInfo(lcLink).noquote() << port << "<" << QString::fromStdString(QuoteBytes(replyLine_));
    } else {
        const char* why = abortFlag_ ? "Abbrechen" : comm_.HungUp() ? "hang-up" : "time-out";
        qCInfo(lcLink).noquote() << QStringLiteral("%1 no reply to %2 after %3 ms (%4), line %5")
                                        .arg(port)
                                        .arg(QString::fromStdString(QuoteBytes(command)))
                                        .arg((clock_.Now() - sentAt).count())
                                        .arg(QLatin1String(why))
                                        .arg(QString::fromStdString(QuoteBytes(replyLine_)));
    }
}

bool CommandExchange::ReadToLineEnd(LineAssembler& line, bool* linkComingUp) {
    do {
        if (linkComingUp != nullptr && *linkComingUp && comm_.OutQueueCount() == 0) {
            // The command has left: the link is up, and the reply has its usual second.
            *linkComingUp = false;
            timeoutCounter_ = kReplyTicks;
        }
        // Byte by byte: whatever follows the CR stays queued for the poll tick.
        const uint32_t queued = std::min(comm_.InQueueCount(), kBytesPerPass);
        uint32_t taken = 0;
        while (taken < queued && comm_.ReadBuffer(&lastByte_, 1) == 1) {
            ++taken;
            if (line.Feed(lastByte_) || lastByte_ == kCR) {
                return true;
            }
        }
        LetEventsRun(taken == kBytesPerPass);
    } while (timeoutCounter_ != 0 && !abortFlag_ && !comm_.HungUp());
    return false;
}

bool CommandExchange::DiscardUntilTick(bool& lineOpen) {
    timeoutCounter_ = 1;
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
    } while (timeoutCounter_ != 0);
    return took;
}

void CommandExchange::Drain() {
    if (errorFlag_) {
        return;
    }
    BusyScope busy(*this);
    bool lineOpen = false;
    DiscardUntilTick(lineOpen);
}

void CommandExchange::LetStreamRunOut() {
    if (errorFlag_) {
        return;
    }
    BusyScope busy(*this);
    bool lineOpen = false;
    // The first pass ends at the next tick, however soon that comes: only a whole tick
    // without a byte shows that nothing streams any more.
    bool quiet = false;
    for (int pass = 0; pass <= kRunOutTicks && !quiet && !abortFlag_; ++pass) {
        quiet = !DiscardUntilTick(lineOpen) && pass > 0;
    }
    if (lineOpen) {
        // It streams on, or stopped inside a line: the rest of that line would be taken for
        // the reply to the next request. A line never ends: the request's wait ends it.
        LineAssembler rest;
        timeoutCounter_ = 1;
        ReadToLineEnd(rest);
    }
}

void CommandExchange::TimeoutTick() {
    if (timeoutCounter_ > 0) {
        --timeoutCounter_;
    }
}

void CommandExchange::ServiceSequence() {
    for (int i = 0; i < 3; ++i) {
        Exchange("SERVICE002");
        Exchange("SERVICE001");
    }
}

void CommandExchange::StreamRequest() {
    for (int i = 0; i < 3; ++i) {
        Exchange("w904");
    }
}

bool CommandExchange::RequestIdentification(std::string_view request, Asker asker) {
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
            clock_.ProcessPendingEvents();
        }
        if (errorFlag_) {
            replyLine_.clear();
            return false;
        }
        if (IsAnswer(request, replyLine_, takeOver)) {
            return true;
        }
    }
    replyLine_.clear();
    errorCode_ = kErrNoReply;
    errorFlag_ = true;
    return false;
}

void CommandExchange::OpenStarts() {
    linkFailed_ = false;
    openGivenUp_ = false;
    openedAt_ = clock_.Now();
}

bool CommandExchange::WaitWhileOpening() {
    if (!abortFlag_) {
        clock_.WaitForEvents();
    }
    if (abortFlag_) {
        openGivenUp_ = true;
        return false;
    }
    return clock_.Now() - openedAt_ < kLinkWait;
}

int32_t CommandExchange::LinkTicksLeft() const {
    const auto left = (kLinkWait - (clock_.Now() - openedAt_)).count();
    return left > 0 ? static_cast<int32_t>((left + 99) / 100) : 0;
}
