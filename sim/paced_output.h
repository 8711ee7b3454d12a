#pragma once
// The output queue of one port. A real analyser talks through a 9600-baud line, about
// 960 bytes per second; the program's timing (one reply within a second, one line per
// poll tick) only gets exercised when bytes arrive with those gaps. The queue therefore
// releases bytes by time, never by how fast the pty would take them, and the event loop
// never blocks on a full pty: it asks what is due, writes what it can and reports back.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>

#include "sim/sim_time.h"

/// Time-paced FIFO of output bytes.
class PacedOutput {
public:
    /// What a chunk carries: a reply may never be dropped, stream data may.
    enum class Kind { Reply, Stream };

    /// `byteTime` is the time one byte takes on the line; 0 writes without pacing.
    explicit PacedOutput(SimTime byteTime) : byteTime_(byteTime) {}

    /// Queues `bytes`. Its first byte goes no earlier than `notBefore` (and never before
    /// `now`); `byteGap` longer than the line's byte time slows this chunk down further.
    void Push(std::string bytes, Kind kind, SimTime now, SimTime notBefore = SimTime{0},
              SimTime byteGap = SimTime{0});

    /// The bytes that may be written at `now`: a prefix of the front chunk, possibly empty.
    std::string_view Due(SimTime now) const;

    /// Reports that the first `count` bytes returned by Due(now) were written.
    void Consume(size_t count);

    /// When the next byte becomes due (a little later when batching is harmless), or
    /// nothing when the queue is empty. The event loop sleeps until then.
    std::optional<SimTime> NextDeadline() const;

    /// Drops queued stream chunks that have not started, so a line is never cut in half.
    void DropUnsentStream();

    /// Drops everything queued, a chunk half written included (the line went away).
    void Clear() { chunks_.clear(); }

    /// Bytes still queued (not yet written).
    size_t Pending() const;

    /// Bytes of stream chunks still queued.
    size_t PendingStream() const;

    bool Empty() const { return chunks_.empty(); }

    /// Stream chunks (data lines) written completely so far; a line cut by a partial
    /// write counts once its last byte is out.
    uint64_t StreamChunksSent() const { return streamChunksSent_; }

private:
    struct Chunk {
        std::string bytes;
        size_t sent = 0;
        Kind kind;
        SimTime notBefore;
        SimTime gap;
    };

    // When the front chunk's next byte may go.
    SimTime FrontStart() const;

    SimTime byteTime_;
    std::deque<Chunk> chunks_;
    SimTime nextByteAt_{0};  // paced line: the line is busy until then
    uint64_t streamChunksSent_ = 0;
};
