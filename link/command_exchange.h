#pragma once
// The command exchange: one command out, one CR-framed reply line back, within the reply's
// second; the drain; the time-out counter and its 100 ms tick; and the command sequences
// the search and the take-over send, the identification requests among them. It also holds
// what every part of the link reads after a wait: the error code, the sticky error flag and
// the abort flag.
//
// Everything runs on the user-interface thread. A wait sleeps in the event loop (LinkClock)
// until something happens (bytes from the port, a timer tick, a click), so timers and the
// "Abbrechen" button keep working while the program waits for the analyser, and the
// processor stays idle. Between two visits to the event loop it reads a bounded number of
// bytes, however fast they come.

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "link/line_assembler.h"
#include "link/link_clock.h"

class TComm;

class CommandExchange {
public:
    /// Ticks the exchange waits for its reply line (1 s).
    static constexpr int32_t kReplyTicks = 10;
    /// Bytes a wait reads before it lets the event loop run again. A port that sends
    /// faster than the program reads never runs empty, so "until the queue is empty" is
    /// no bound: the timeout tick, the timers and "Abbrechen" would never get through.
    static constexpr uint32_t kBytesPerPass = 256;
    /// An identification request asked this often without an answer (an empty reply, a
    /// data line, in the take-over an R001 reply without "ZOR") counts as "no reply": a
    /// device that answers everything with an empty line, or streams on whatever it is
    /// sent, cannot hold the program in a loop.
    static constexpr int kMaxEmptyReplies = 5;
    /// The most ticks a stream is given to run out before an identification request
    /// (1 s). A cycle of thirteen data lines takes 0.15 s at 9600 baud; what still
    /// streams after that will not stop for the request.
    static constexpr int kRunOutTicks = 10;
    /// The most a Bluetooth link may take to connect, counted from the start of its open.
    /// The radio connection is made when the port is opened: 1-3 s to an analyser in
    /// reach. Once the link is up, the reply has its usual second (kReplyTicks); where
    /// nothing tells when it is up (a stand-in on a pty), the reply may come until then.
    static constexpr std::chrono::milliseconds kLinkWait{10000};

    /// How the first exchange after an open learns that a Bluetooth link is up.
    enum class LinkWait : uint8_t {
        None,      ///< no link to wait for (not a Bluetooth link, or its first exchange ran)
        OutQueue,  ///< up once the command has left the output queue (OutQueueShowsLinkUp)
        Unknown,   ///< nothing tells: the reply may come until kLinkWait after the open
    };

    /// Who asks for the analyser's identification.
    enum class Asker {
        Search,    ///< the search: R001 decides whether the port is the analyser's
        TakeOver,  ///< the take-over: the empty command first; R001 must name the analyser
    };

    /// Marks the link busy for the life of the scope, so that poll ticks arriving inside a
    /// wait leave the port's bytes to the waiting exchange.
    class BusyScope {
    public:
        explicit BusyScope(CommandExchange& exchange) : exchange_(exchange) {
            ++exchange_.busyDepth_;
        }
        ~BusyScope() {
            if (--exchange_.busyDepth_ == 0 && exchange_.onWaitEnded_) {
                exchange_.onWaitEnded_();
            }
        }
        BusyScope(const BusyScope&) = delete;
        BusyScope& operator=(const BusyScope&) = delete;

    private:
        CommandExchange& exchange_;
    };

    /// `onWaitEnded` runs whenever the last running wait has ended (Busy() turned false).
    CommandExchange(TComm& comm, LinkClock& clock, std::function<void()> onWaitEnded);

    /// Sends `command` + CR and waits up to 1 s for the reply line (ReplyLine). Returns at
    /// once, sending nothing, while the error flag is set. A wait that runs out sets error
    /// code 2, "Abbrechen" code 7, both with the error flag.
    void Exchange(std::string_view command);
    /// Discards whatever arrives until the next timeout tick.
    void Drain();
    /// Discards what arrives until a whole tick passes without a byte, at most
    /// kRunOutTicks, and then, if a line was cut off, up to its CR (within one more
    /// tick): the next reply read starts at the beginning of a line.
    void LetStreamRunOut();
    /// The 100 ms tick of the time-out counter (TimeouttimerTimer).
    void TimeoutTick();

    /// "SERVICE002", "SERVICE001", three times: the analyser's command mode.
    void ServiceSequence();
    /// "w904" three times: the data stream.
    void StreamRequest();
    /// Lets the stream run out, then asks `request`, repeated while the reply is no
    /// answer (empty, a data line, for the take-over an R001 reply without "ZOR"), at most
    /// kMaxEmptyReplies times. False on failure (error code 2 or 7, error flag set),
    /// with the reply line cleared.
    bool RequestIdentification(std::string_view request, Asker asker);
    /// True when an R001 reply names the analyser: it contains "ZOR".
    static bool IsAnalyserReply(std::string_view reply);

    // --- the open of a port, as the first exchange after it waits for a Bluetooth link ---
    /// Before a port is opened: the time a Bluetooth link may take starts now, and what the
    /// last open left is forgotten.
    void OpenStarts();
    /// TComm's wait while the system opens the port (its OnOpenWait): false ends it
    /// ("Abbrechen", or the link took longer than kLinkWait).
    bool WaitWhileOpening();
    /// After an open: how the next exchange waits for the link.
    void ExpectLink(LinkWait wait) { linkWait_ = wait; }
    /// "Abbrechen" gave the last open up.
    bool OpenGivenUp() const { return openGivenUp_; }
    /// The Bluetooth link hung up while its first exchange waited for it.
    bool LinkFailed() const { return linkFailed_; }

    // --- what the waits leave ---
    /// Bytes after the last command up to (not including) CR; empty after a failure.
    const std::string& ReplyLine() const { return replyLine_; }
    /// Remaining 100 ms ticks of the current wait.
    int32_t TimeoutCounter() const { return timeoutCounter_; }
    /// 0..7, see status_texts.h.
    int32_t ErrorCode() const { return errorCode_; }
    void SetErrorCode(int32_t code) { errorCode_ = code; }
    /// Set when a wait failed. Sticky on purpose: after one unanswered command every further
    /// exchange returns at once, so a dead port costs one timeout, not one per command.
    /// Cleared by opening the port, and by any complete data line.
    bool ErrorFlag() const { return errorFlag_; }
    void SetErrorFlag() { errorFlag_ = true; }
    void ClearErrorFlag() { errorFlag_ = false; }
    /// "Abbrechen" was pressed (or the window closed); never cleared.
    bool Aborted() const { return abortFlag_; }
    void Abort() { abortFlag_ = true; }
    /// True while a search, an exchange or a take-over runs (they wait in the event loop).
    bool Busy() const { return busyDepth_ > 0; }

private:
    /// Between two passes of a wait: lets the event loop run, without sleeping when
    /// `bytesLeft` (the pass stopped at its budget with bytes still queued).
    void LetEventsRun(bool bytesLeft);
    /// Reads byte by byte into `line` until its CR (true), or until the timeout counter
    /// runs out, "Abbrechen" or a hang-up (false). Bytes after the CR stay queued.
    /// With `linkComingUp` (a Bluetooth link's first reply, while *linkComingUp), the wait
    /// starts its usual second once the output queue has run empty, and clears it.
    bool ReadToLineEnd(LineAssembler& line, bool* linkComingUp = nullptr);
    /// One pass of a drain: discards what arrives until the next tick. True when a byte
    /// came; `lineOpen` then says whether the last one was no CR.
    bool DiscardUntilTick(bool& lineOpen);
    /// Ticks of the timeout timer left until kLinkWait after the open.
    int32_t LinkTicksLeft() const;

    TComm& comm_;
    LinkClock& clock_;
    std::function<void()> onWaitEnded_;

    std::string replyLine_;
    uint8_t lastByte_ = 0;  ///< the last byte an exchange read
    int32_t timeoutCounter_ = 0;
    bool errorFlag_ = false;
    bool abortFlag_ = false;
    int32_t errorCode_ = 0;
    int busyDepth_ = 0;

    // The Bluetooth link wait: a link's connection is made when its port opens (Windows:
    // inside the open; Linux: in the background after it), so the first exchange after
    // the open may last until the link is up, kLinkWait after the open at most.
    std::chrono::milliseconds openedAt_{0};  ///< the clock's time when the open started
    LinkWait linkWait_ = LinkWait::None;     ///< for the next exchange
    bool linkFailed_ = false;
    bool openGivenUp_ = false;
};
