#include "sim/sim_device.h"

#include <cstdio>

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
    }
    return "?";
}

std::string QuoteForLog(const std::string& bytes) {
    std::string quoted = "\"";
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += c;
        } else if (u >= 0x20 && u < 0x7F) {
            quoted += c;
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", u);
            quoted += hex;
        }
    }
    return quoted + "\"";
}

SimDevice::SimDevice(PortRole role, const SimOptions& options, EventSink sink)
    : role_(role == PortRole::Analyser && options.faults.foreign ? PortRole::Foreign : role),
      options_(options),
      faults_(role == PortRole::Analyser ? options.faults : SimFaults{}),
      sink_(std::move(sink)),
      output_(faults_.flood ? SimTime{0} : ByteTime(options.bytesPerSecond)),
      generator_(options.seed, options.status, options.steady),
      noiseRandom_(options.seed + 1) {}

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
    if (role_ == PortRole::Dead) {
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
