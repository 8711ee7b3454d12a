#include "sim/sim_device.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace {
SimTime ByteTime(const std::optional<int>& bytesPerSecond) {
    if (!bytesPerSecond || *bytesPerSecond <= 0) {
        return SimTime{0};
    }
    // Rounded up: the simulated line may be a hair slower than the real one, never faster.
    return SimTime{(1000000 + *bytesPerSecond - 1) / *bytesPerSecond};
}
}  // namespace

const char* PortRoleName(PortRole role) {
    switch (role) {
        case PortRole::Analyser:
            return "analyser";
        case PortRole::Dead:
            return "dead";
        case PortRole::Foreign:
            return "foreign";
        case PortRole::Refused:
            return "refused";
        case PortRole::Replay:
            return "replay";
    }
    return "?";
}

SimDevice::SimDevice(PortRole role, const SimOptions& options, EventSink sink,
                     const ReplayPort* replay)
    : role_(role == PortRole::Analyser && options.faults.foreign ? PortRole::Foreign : role),
      options_(options),
      faults_(role == PortRole::Analyser ? options.faults : SimFaults{}),
      sink_(std::move(sink)),
      output_(faults_.flood ? SimTime{0} : ByteTime(options.bytesPerSecond)),
      generator_(options.seed, options.status, options.steady),
      noiseRandom_(options.seed + 1),
      replay_(role == PortRole::Replay ? replay : nullptr) {}

void SimDevice::Receive(const char* data, size_t size, SimTime now) {
    for (const std::string& command : framer_.Feed(data, size)) {
        if (wantsHangup_) {
            return;  // a hung-up port hears nothing more
        }
        sink_(now, "RX " + QuoteForLog(command));
        HandleCommand(command, now);
    }
}

void SimDevice::HandleCommand(const std::string& command, SimTime now) {
    if (Arrived(faults_.hangupOn, faults_.hangupOnCount, hangupOnSeen_, command)) {
        HangUp(now, "on " + QuoteForLog(command));
        return;
    }
    if (role_ == PortRole::Dead || role_ == PortRole::Refused) {
        return;
    }
    if (role_ == PortRole::Replay) {
        ReplayCommand(command, now);
        return;
    }
    if (role_ == PortRole::Foreign) {
        Reply(options_.foreignReply, now);
        return;
    }
    if (!silenced_ &&
        Arrived(faults_.silentFrom, faults_.silentFromCount, silentFromSeen_, command)) {
        silenced_ = true;
        sink_(now, "SILENT from " + QuoteForLog(command));
        output_.DropUnsentStream();
        streaming_ = false;
    }
    if (faults_.silent || silenced_) {
        return;
    }
    if (!crDropped_ && Arrived(faults_.noCrFrom, faults_.noCrFromCount, noCrFromSeen_, command)) {
        crDropped_ = true;
        sink_(now, "NO-CR from " + QuoteForLog(command));
    }
    const bool nonstopStarts = faults_.nonstopFrom && !nonstop_ && command == *faults_.nonstopFrom;
    if (nonstopStarts) {
        nonstop_ = true;
        sink_(now, "STREAM nonstop from " + QuoteForLog(command));
    }
    if (command == "SERVICE002" || command == "SERVICE001") {
        // Command mode: identification replies must not be mixed with data lines.
        if (!nonstop_) {
            PauseStream(now);
        }
        Reply("OK", now);
    } else if (command == "R001") {
        Reply(options_.id, now);
    } else if (command == "R002") {
        Reply(options_.id2, now);
    } else if (command == "R004") {
        Reply(options_.serial, now);
    } else if (command == "w904") {
        Reply("OK", now);
        StartOrRenewStream(now);
    } else if (command.empty()) {
        Reply("", now);
    } else {
        Reply("ERR", now);
    }
    if (nonstopStarts && !streaming_) {
        StartOrRenewStream(now);  // behind the reply, as after w904
    }
}

bool SimDevice::Arrived(const std::optional<std::string>& trigger, int count, int& seen,
                        const std::string& command) {
    return trigger && command == *trigger && ++seen == count;
}

void SimDevice::Reply(const std::string& text, SimTime now) {
    std::string line = faults_.emptyReplies ? std::string() : text;
    if (faults_.replyNoise) {
        line.insert(0, kReplyNoise);
    }
    sink_(now, "TX " + QuoteForLog(line));
    if (!faults_.noCr && !crDropped_) {
        line += '\r';
    }
    output_.Push(std::move(line), PacedOutput::Kind::Reply, now, now + faults_.replyDelay,
                 faults_.slowByteGap);
}

void SimDevice::StartOrRenewStream(SimTime now) {
    if (faults_.flood) {
        return;  // it streams anyway, and never stops
    }
    if (options_.streamDuration) {
        streamEndAt_ = now + *options_.streamDuration;
    }
    if (streaming_) {
        sink_(now, "STREAM renew");
        return;
    }
    streaming_ = true;
    overrunReported_ = false;
    sink_(now, "STREAM start");
    nextCycleAt_ = now;
    // The first cycle goes into the queue at once, right behind the reply.
    Advance(now);
}

void SimDevice::PauseStream(SimTime now) {
    if (faults_.flood) {
        return;
    }
    output_.DropUnsentStream();
    if (streaming_) {
        streaming_ = false;
        sink_(now, "STREAM pause");
    }
}

void SimDevice::LinkDown(SimTime now) {
    output_.Clear();
    framer_ = CommandFramer{};
    if (streaming_ && !faults_.flood) {
        streaming_ = false;
        sink_(now, "STREAM pause");
    }
}

void SimDevice::Advance(SimTime now) {
    if (wantsHangup_) {
        return;
    }
    if (role_ == PortRole::Replay) {
        AdvanceReplay(now);
        return;
    }
    if (faults_.hangupAfter && now >= *faults_.hangupAfter) {
        HangUp(now, "after " + std::to_string(faults_.hangupAfter->count() / 1000) + " ms");
        return;
    }
    if (silenced_) {
        return;
    }
    if (faults_.flood && !streaming_) {
        streaming_ = true;
        sink_(now, "STREAM flood");
        nextCycleAt_ = now;
    }
    if (!streaming_) {
        return;
    }
    if (streamEndAt_ && now >= *streamEndAt_) {
        streaming_ = false;
        sink_(now, "STREAM end");
        return;
    }
    if (now < nextCycleAt_) {
        return;
    }
    if (options_.cycle.count() == 0 || faults_.flood) {
        // Back to back: the next cycle as soon as the last one is on its way.
        if (output_.PendingStream() == 0) {
            QueueCycle(now);
        }
        nextCycleAt_ = now;
        return;
    }
    // A cycle still queued means the line (or the reader) is slower than the cycle: the
    // values would only get older in the queue, so this cycle is skipped, as a device
    // sampling faster than it can send would.
    if (output_.PendingStream() > 0) {
        if (!overrunReported_) {
            sink_(now, "OVERRUN previous cycle still queued, cycles skipped");
            overrunReported_ = true;
        }
    } else {
        overrunReported_ = false;
        QueueCycle(now);
    }
    nextCycleAt_ += options_.cycle;
    if (nextCycleAt_ <= now) {
        nextCycleAt_ = now + options_.cycle;  // fell behind: skip, do not burst
    }
}

void SimDevice::QueueCycle(SimTime now) {
    const bool cr = !faults_.noNewlineStream;
    for (std::string& line : generator_.NextCycle()) {
        if (cr) {
            line += '\r';
        }
        if (faults_.noise) {
            line += NoiseBytes();
        }
        output_.Push(std::move(line), PacedOutput::Kind::Stream, now);
    }
}

std::string SimDevice::NoiseBytes() {
    // NUL, high bytes and printable junk, but never CR or LF: noise must not end a line.
    static constexpr char kPrintable[] = "#~%*@!x7 ";
    std::string noise;
    const unsigned count = 1 + noiseRandom_() % 4;
    for (unsigned i = 0; i < count; ++i) {
        const unsigned pick = noiseRandom_() % 4;
        if (pick == 0) {
            noise += '\0';
        } else if (pick == 1) {
            noise += static_cast<char>(0x80 + noiseRandom_() % 0x80);
        } else {
            noise += kPrintable[noiseRandom_() % (sizeof kPrintable - 1)];
        }
    }
    return noise;
}

void SimDevice::HangUp(SimTime now, const std::string& reason) {
    wantsHangup_ = true;
    streaming_ = false;
    sink_(now, "HANGUP " + reason);
}

std::optional<SimTime> SimDevice::NextDeadline(bool includeOutput) const {
    if (wantsHangup_) {
        return SimTime{0};
    }
    std::optional<SimTime> deadline;
    auto consider = [&deadline](SimTime t) {
        if (!deadline || t < *deadline) {
            deadline = t;
        }
    };
    if (includeOutput) {
        if (auto t = output_.NextDeadline()) {
            consider(*t);
        }
    }
    if (faults_.hangupAfter) {
        consider(*faults_.hangupAfter);
    }
    if (auto t = ReplayDeadline()) {
        consider(*t);
    }
    if (streaming_) {
        if (streamEndAt_) {
            consider(*streamEndAt_);
        }
        // Back-to-back cycles are driven by the output draining, not by a clock.
        const bool backToBack = options_.cycle.count() == 0 || faults_.flood;
        if (!backToBack || output_.PendingStream() == 0) {
            consider(nextCycleAt_);
        }
    }
    return deadline;
}

bool SimDevice::Opened(SimTime now) {
    if (role_ == PortRole::Refused) {
        sink_(now, "OPEN refused");
        return false;
    }
    if (role_ != PortRole::Replay) {
        return true;
    }
    const ReplaySession* session = NextSession();
    if (replay_ != nullptr && sessionsUsed_ < replay_->sessions.size()) {
        ++sessionsUsed_;
    }
    if (session != nullptr && session->refused) {
        sink_(now, "OPEN refused as recorded: " + session->refusal);
        return false;
    }
    sink_(now, session != nullptr ? "OPEN as recorded" : "OPEN (none recorded: silent)");
    session_ = session;
    openedAt_ = now;
    nextLine_ = 0;
    replayPaused_ = false;
    nextFillAt_.reset();
    quantities_.clear();
    lastLineOf_.clear();
    connectionHangup_ = false;
    return true;
}

void SimDevice::Closed(SimTime now) {
    if (role_ != PortRole::Replay || session_ == nullptr) {
        return;
    }
    session_ = nullptr;
    output_.Clear();
    framer_ = CommandFramer{};
    sink_(now, "CLOSED by the program");
}

bool SimDevice::NextOpenRefused() const {
    if (role_ == PortRole::Refused) {
        return true;
    }
    const ReplaySession* session = role_ == PortRole::Replay ? NextSession() : nullptr;
    return session != nullptr && session->refused;
}

bool SimDevice::TakeConnectionHangup() {
    return std::exchange(connectionHangup_, false);
}

const ReplaySession* SimDevice::NextSession() const {
    if (replay_ == nullptr || replay_->sessions.empty()) {
        return nullptr;
    }
    return &replay_->sessions[std::min(sessionsUsed_, replay_->sessions.size() - 1)];
}

void SimDevice::ReplayCommand(const std::string& command, SimTime now) {
    const bool service = command == "SERVICE002" || command == "SERVICE001";
    if (service) {
        // Identification replies must not be mixed with data lines, the record's stream
        // or not: the analyser pauses it here, and so does its replay.
        replayPaused_ = true;
        output_.DropUnsentStream();
    }
    const auto recorded = replay_ != nullptr
                              ? replay_->replies.find(command)
                              : std::map<std::string, std::vector<ReplayReply>>::const_iterator{};
    if (replay_ == nullptr || recorded == replay_->replies.end() || recorded->second.empty()) {
        sink_(now, "SILENT " + QuoteForLog(command) + " is not in the record");
    } else {
        // Beyond the record, the command gets its last recorded answer again.
        size_t& cursor = replyCursor_[command];
        const ReplayReply& reply = recorded->second[std::min(cursor, recorded->second.size() - 1)];
        ++cursor;
        if (reply.kind == ReplayReply::Kind::Silent) {
            sink_(now, "SILENT as recorded");
        } else {
            std::string line = reply.text;
            const bool identification = command == "R001" || command == "R002" || command == "R004";
            if (identification && reply.kind == ReplayReply::Kind::Line && !line.empty() &&
                line.find("DEMO") == std::string::npos) {
                // A replayed analyser is no measurement, and its file must not pass for one.
                line += " DEMO";
            }
            sink_(now,
                  "TX " + QuoteForLog(line) +
                      (reply.kind == ReplayReply::Kind::Partial ? " (no CR, as recorded)" : ""));
            const bool cr = reply.kind == ReplayReply::Kind::Line;
            if (cr) {
                line += '\r';
            }
            // The recorded delay ends with the reply's last byte; the line takes its
            // share of it.
            const SimTime onTheLine =
                ByteTime(options_.bytesPerSecond) * static_cast<long long>(line.size());
            const SimTime wait =
                cr && reply.delay > onTheLine ? reply.delay - onTheLine : SimTime{0};
            output_.Push(std::move(line), PacedOutput::Kind::Reply, now, now + wait);
        }
    }
    if (command == "w904" && replayPaused_) {
        replayPaused_ = false;
        nextFillAt_ = now;  // as the analyser's first cycle right behind the reply
        AdvanceReplay(now);
    }
}

void SimDevice::AdvanceReplay(SimTime now) {
    if (session_ == nullptr) {
        return;
    }
    const SimTime sinceOpen = now - openedAt_;
    if (session_->hangUpAt && sinceOpen >= *session_->hangUpAt) {
        const bool last = replay_->sessions.empty() || session_ == &replay_->sessions.back();
        session_ = nullptr;
        output_.Clear();
        if (replay_->vanishes && last) {
            HangUp(now, "as recorded, for good");
        } else {
            connectionHangup_ = true;
            sink_(now, "HANGUP as recorded");
        }
        return;
    }
    const std::vector<ReplayLine>& data = session_->data;
    for (; nextLine_ < data.size() && data[nextLine_].at <= sinceOpen; ++nextLine_) {
        const ReplayLine& line = data[nextLine_];
        const int quantity = ReplayParameterOf(line.text);
        if (quantity >= 0) {
            if (lastLineOf_.count(quantity) == 0) {
                quantities_.push_back(quantity);
            }
            lastLineOf_[quantity] = line.text;
        }
        if (!replayPaused_) {
            output_.Push(line.text + '\r', PacedOutput::Kind::Stream, now);
            nextFillAt_ = SimAfter(SimAfter(openedAt_, line.at), ReplayCycle());
        }
    }
    QueueReplayCycle(now);
}

SimTime SimDevice::ReplayCycle() const {
    return options_.replay ? options_.replay->cycle : SimMs(1000);
}

void SimDevice::QueueReplayCycle(SimTime now) {
    if (session_ == nullptr || replayPaused_ || lastLineOf_.empty() || !nextFillAt_ ||
        now < *nextFillAt_) {
        return;
    }
    const SimTime sinceOpen = now - openedAt_;
    if (session_->streamEndAt && sinceOpen >= *session_->streamEndAt) {
        nextFillAt_.reset();  // the record's stream ended here
        return;
    }
    const SimTime cycle = ReplayCycle();
    const std::vector<ReplayLine>& data = session_->data;
    if (nextLine_ < data.size() && data[nextLine_].at - sinceOpen < cycle / 2) {
        nextFillAt_ = SimAfter(SimAfter(openedAt_, data[nextLine_].at), cycle);  // its own soon
        return;
    }
    // Between the record's cycles (it keeps one every 10 s), the last line of each
    // quantity again, so that the stream stays live as it was.
    if (output_.PendingStream() == 0) {
        for (const int quantity : quantities_) {
            output_.Push(lastLineOf_[quantity] + '\r', PacedOutput::Kind::Stream, now);
        }
    }
    *nextFillAt_ = SimAfter(*nextFillAt_, cycle);
    if (*nextFillAt_ <= now) {
        nextFillAt_ = SimAfter(now, cycle);
    }
}

std::optional<SimTime> SimDevice::ReplayDeadline() const {
    if (session_ == nullptr) {
        return std::nullopt;
    }
    std::optional<SimTime> deadline;
    auto consider = [&deadline](SimTime t) {
        if (!deadline || t < *deadline) {
            deadline = t;
        }
    };
    if (session_->hangUpAt) {
        consider(SimAfter(openedAt_, *session_->hangUpAt));
    }
    if (nextLine_ < session_->data.size()) {
        consider(SimAfter(openedAt_, session_->data[nextLine_].at));
    }
    if (nextFillAt_ && !replayPaused_ && !lastLineOf_.empty()) {
        consider(*nextFillAt_);
    }
    return deadline;
}
