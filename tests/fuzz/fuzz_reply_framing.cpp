// Feeds arbitrary bytes to the command exchange as the reply a port sends to a command, and
// to the line framing under it, and checks what must hold for any reply: the reply line is
// what came before the first CR, dropped whole when it is longer than a line may be, and
// whatever follows that CR stays queued for the next reader. The first byte chooses how the
// rest arrives: at once, or in pieces 20 ms apart.
//
// The exchange runs as in the program, on a real TComm, on a port in memory whose other
// side answers with the input, and on a clock the target moves: a wait of a second takes
// none.

#include <QCoreApplication>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "link/command_exchange.h"
#include "link/line_assembler.h"
#include "link/status_texts.h"
#include "serial/tcomm.h"
#include "tests/support/manual_clock.h"
#include "tests/support/scripted_ports.h"

namespace {

using namespace std::chrono_literals;

constexpr int kPort = 5;
constexpr std::chrono::milliseconds kPieceGap = 20ms;

void Check(bool condition, int line = __builtin_LINE()) {
    if (!condition) {
        std::fprintf(stderr, "check failed at line %d\n", line);
        std::abort();
    }
}

/// One port, opened once, with the exchange on it and the time-out tick running, as the
/// link has them while it talks to the analyser.
struct Rig {
    Rig() {
        // The exchange logs every reply, as it does in the program; here nobody reads it.
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
        peer = &ports.Add(kPort, [this](const std::string&) {
            Answer();
            return std::string();
        });
        comm = std::make_unique<TComm>(nullptr, ports);
        comm->SetPort(kPort);
        Check(comm->Open());
        exchange = std::make_unique<CommandExchange>(*comm, clock, nullptr);
        tick = clock.MakeTimer(100ms, [this] { exchange->TimeoutTick(); });
        tick->Start();
        clock.SetInputWaiting([this] { return comm->InQueueCount(); });
    }

    /// The reply, as the input says it comes.
    void Answer() {
        if (pieceSize == 0) {
            peer->Send(reply);
        } else {
            SendPieces(0, round);
        }
    }

    /// The piece at `at` now and the next one a gap later, while the input is this round's.
    /// One piece is due at a time: a clock holding a thousand of them would take longer
    /// to find the next than the exchange takes.
    void SendPieces(std::size_t at, uint64_t ofRound) {
        if (ofRound != round || at >= reply.size()) {
            return;
        }
        peer->Send(reply.substr(at, pieceSize));
        clock.After(kPieceGap, [this, at, ofRound] { SendPieces(at + pieceSize, ofRound); });
    }

    /// Nothing left from one input for the next: no piece to come and none of it queued.
    void Empty() {
        ++round;
        clock.Advance(kPieceGap);
        char sink[256];
        while (comm->ReadBuffer(sink, sizeof sink) > 0) {
        }
        exchange->ClearErrorFlag();
        exchange->SetErrorCode(0);
    }

    ManualClock clock;
    ScriptedPorts ports;
    ScriptedPeer* peer = nullptr;
    std::unique_ptr<TComm> comm;
    std::unique_ptr<CommandExchange> exchange;
    std::unique_ptr<LinkClock::Timer> tick;
    std::string reply;
    std::size_t pieceSize = 0;  ///< 0: all at once
    uint64_t round = 0;         ///< counts the inputs
};

Rig& TheRig() {
    static int argc = 1;
    static char name[] = "fuzz_reply_framing";
    static char* argv[] = {name, nullptr};
    static QCoreApplication application(argc, argv);
    static Rig rig;
    return rig;
}

/// The line framing alone, byte by byte: the line a CR completes is what came since the last
/// one, unless that was longer than the limit, and then the CR completes nothing.
void CheckAssembler(std::string_view input) {
    LineAssembler line;
    std::size_t start = 0;
    for (std::size_t i = 0; i < input.size(); ++i) {
        const bool complete = line.Feed(static_cast<unsigned char>(input[i]));
        const std::size_t length = i - start;
        if (input[i] == '\r') {
            Check(complete == (length <= LineAssembler::kDefaultMaxLength));
            Check(!complete || line.Line() == input.substr(start, length));
            Check(!line.Overlong());
            start = i + 1;
        } else {
            Check(!complete);
            Check(line.Overlong() == (length + 1 > LineAssembler::kDefaultMaxLength));
            Check(line.Line().size() <= LineAssembler::kDefaultMaxLength);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::string_view input(reinterpret_cast<const char*>(data + 1), size - 1);
    CheckAssembler(input);

    Rig& rig = TheRig();
    rig.reply = std::string(input);
    rig.pieceSize = data[0] & 0x80 ? (data[0] & 0x3F) + 1 : 0;
    rig.exchange->Exchange("R001");

    const std::string& line = rig.exchange->ReplyLine();
    Check(line.size() <= LineAssembler::kDefaultMaxLength);
    Check(input.substr(0, line.size()) == line);  // what came first, or nothing

    const std::size_t cr = input.find('\r');
    // Pieces that all came by the ninth tick reach the wait, whatever the ticks' phase.
    const std::size_t neededBytes = cr == std::string_view::npos ? input.size() : cr + 1;
    const bool cameInTime =
        rig.pieceSize == 0 ||
        kPieceGap * static_cast<int>((neededBytes + rig.pieceSize - 1) / rig.pieceSize) < 900ms;
    if (cameInTime) {
        const std::size_t length = cr == std::string_view::npos ? input.size() : cr;
        const bool overlong = length > LineAssembler::kDefaultMaxLength;
        Check(line == (overlong ? std::string_view() : input.substr(0, length)));
        Check(rig.exchange->ErrorFlag() == (cr == std::string_view::npos));
        Check(rig.exchange->ErrorCode() == (cr == std::string_view::npos ? kErrNoReply : 0));
        if (rig.pieceSize == 0) {
            Check(rig.comm->InQueueCount() == input.size() - neededBytes);
        }
    }
    rig.Empty();
    return 0;
}
