#include "sim/paced_output.h"

#include <algorithm>

namespace {
// Waking once per byte at 9600 baud would mean a thousand wake-ups a second; releasing a
// few bytes together keeps the average rate exact at a tenth of the cost.
constexpr size_t kBatch = 8;
// A late wake-up may release what became due meanwhile, but not more than this at once.
constexpr size_t kMaxBurst = 256;
}  // namespace

void PacedOutput::Push(std::string bytes, Kind kind, SimTime now, SimTime notBefore,
                       SimTime byteGap) {
    if (bytes.empty()) {
        return;
    }
    // notBefore >= now: an idle line must not have saved up credit for a burst.
    chunks_.push_back(
        Chunk{std::move(bytes), 0, kind, std::max(notBefore, now), std::max(byteGap, byteTime_)});
}

SimTime PacedOutput::FrontStart() const {
    const Chunk& c = chunks_.front();
    return std::max(nextByteAt_, c.notBefore);
}

std::string_view PacedOutput::Due(SimTime now) const {
    if (chunks_.empty()) {
        return {};
    }
    const Chunk& c = chunks_.front();
    const SimTime start = FrontStart();
    if (now < start) {
        return {};
    }
    const size_t remaining = c.bytes.size() - c.sent;
    size_t count = remaining;
    if (c.gap.count() > 0) {
        const auto elapsed = static_cast<size_t>((now - start) / c.gap);
        count = std::min({remaining, elapsed + 1, kMaxBurst});
    }
    return std::string_view(c.bytes).substr(c.sent, count);
}

void PacedOutput::Consume(size_t count) {
    if (chunks_.empty() || count == 0) {
        return;
    }
    Chunk& c = chunks_.front();
    nextByteAt_ = FrontStart() + c.gap * static_cast<long long>(count);
    c.sent += count;
    if (c.sent >= c.bytes.size()) {
        if (c.kind == Kind::Stream) {
            ++streamChunksSent_;
        }
        chunks_.pop_front();
    }
}

std::optional<SimTime> PacedOutput::NextDeadline() const {
    if (chunks_.empty()) {
        return std::nullopt;
    }
    const Chunk& c = chunks_.front();
    const SimTime start = FrontStart();
    if (c.gap.count() == 0 || c.gap > byteTime_) {
        return start;  // unpaced, or deliberately slow: every byte at its own time
    }
    const size_t remaining = c.bytes.size() - c.sent;
    const size_t batch = std::min(kBatch, remaining);
    return start + c.gap * static_cast<long long>(batch - 1);
}

void PacedOutput::DropUnsentStream() {
    std::deque<Chunk> kept;
    for (size_t i = 0; i < chunks_.size(); ++i) {
        Chunk& c = chunks_[i];
        if (c.kind == Kind::Reply || (i == 0 && c.sent > 0)) {
            kept.push_back(std::move(c));
        }
    }
    chunks_.swap(kept);
}

size_t PacedOutput::Pending() const {
    size_t total = 0;
    for (const Chunk& c : chunks_) {
        total += c.bytes.size() - c.sent;
    }
    return total;
}

size_t PacedOutput::PendingStream() const {
    size_t total = 0;
    for (const Chunk& c : chunks_) {
        if (c.kind == Kind::Stream) {
            total += c.bytes.size() - c.sent;
        }
    }
    return total;
}
