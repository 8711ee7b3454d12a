#include "sim/demo_ports.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "serial/comm_types.h"
#include "sim/sim_ports.h"

namespace {

// The longest a port's watcher sleeps before it looks at its deadline again.
constexpr SimTime kLongestWait = std::chrono::hours(24);

// What the tty layer holds of received bytes before the sender has to wait (N_TTY's read
// buffer); a device that sends faster than the program reads is held back here, as
// fumilink-sim is by a full pty.
constexpr size_t kReceiveQueueBytes = 4096;
// Rounds of one pump for a device that sends back to back (no pacing): each round it
// queues the next cycle once the last one is out. The receive queue ends it sooner.
constexpr int kMaxRoundsPerPump = 64;
constexpr uint32_t kLinesOfADevice = MS_CTS_ON_BIT | MS_DSR_ON_BIT | MS_RLSD_ON_BIT;
constexpr const char* kPathPrefix = "demo:COM";

}  // namespace

struct DemoPorts::Port {
    int number = 0;
    std::string name;  // "COM5"
    std::unique_ptr<SimDevice> device;
    std::optional<SimLink> link;
    bool removed = false;  // hung up for good (a hang-up fault): no longer listed
    bool open = false;     // the demo back end holds it
    bool hungUp = false;   // the connection held hung up (its link failed, or removed)
    std::deque<char> received;
    uint32_t mask = 0;
    bool wake = false;
    uint32_t linesSeen = 0;  // modem status when the watcher last looked
    uint32_t outQueueSeen = 0;
};

DemoPorts::DemoPorts(const SimOptions& options, EventSink sink, Clock clock)
    : clock_(clock), start_(std::chrono::steady_clock::now()), sink_(std::move(sink)) {
    for (const SimPortPlan& plan : PlanPorts(options)) {
        auto port = std::make_unique<Port>();
        port->number = plan.number;
        port->name = "COM" + std::to_string(plan.number);
        if (plan.link) {
            port->link.emplace(*plan.link);
        }
        Port* const self = port.get();
        port->device = std::make_unique<SimDevice>(
            plan.role, options,
            [this, self](SimTime at, const std::string& event) { Log(at, *self, event); },
            plan.replay);
        Log(SimTime{0}, *port,
            std::string("OPEN ") + PortRoleName(port->device->Role()) + " inside the program");
        ports_.push_back(std::move(port));
    }
    std::sort(ports_.begin(), ports_.end(),
              [](const auto& a, const auto& b) { return a->number < b->number; });
}

DemoPorts::~DemoPorts() = default;

void DemoPorts::Log(SimTime at, const Port& port, const std::string& event) const {
    if (sink_) {
        sink_(at, port.name, event);
    }
}

SimTime DemoPorts::NowLocked() const {
    if (clock_ == Clock::Manual) {
        return manualNow_;
    }
    return std::chrono::duration_cast<SimTime>(std::chrono::steady_clock::now() - start_);
}

SimTime DemoPorts::Now() const {
    std::lock_guard lock(mutex_);
    return NowLocked();
}

void DemoPorts::SetTime(SimTime now) {
    {
        std::lock_guard lock(mutex_);
        manualNow_ = std::max(manualNow_, now);
    }
    changed_.notify_all();
}

DemoPorts::Port* DemoPorts::Find(int number) const {
    for (const auto& port : ports_) {
        if (port->number == number) {
            return port.get();
        }
    }
    return nullptr;
}

bool DemoPorts::Reachable(const Port& port) {
    return !port.link || port.link->state() == SimLink::State::Up;
}

uint32_t DemoPorts::LinesOf(const Port& port) {
    const bool there = port.open && !port.hungUp && !port.removed && Reachable(port) &&
                       port.device->Role() != PortRole::Dead;
    return there ? kLinesOfADevice : 0;
}

uint32_t DemoPorts::OutQueueOf(const Port& port) {
    return port.link ? static_cast<uint32_t>(port.link->HeldBytes()) : 0;
}

void DemoPorts::HangUp(Port& port, SimTime now, const std::string& event) {
    port.device->LinkDown(now);
    port.received.clear();
    if (port.open) {
        port.hungUp = true;
    }
    Log(now, port, event);
}

void DemoPorts::Pump(Port& port, SimTime now) {
    if (port.removed) {
        return;
    }
    if (port.link && port.open && !port.hungUp) {
        std::string delivered;
        switch (port.link->Advance(now, delivered)) {
            case SimLink::Change::CameUp:
                Log(now, port, "LINK up");
                if (!delivered.empty()) {
                    port.device->Receive(delivered.data(), delivered.size(), now);
                }
                break;
            case SimLink::Change::Failed:
                // The port stays listed and can be opened (and fail) again, as
                // fumilink-sim's new pty behind the rfcomm name can.
                HangUp(port, now,
                       "LINK failed after " +
                           std::to_string(port.link->settings().after.count() / 1000) +
                           " ms: hang-up");
                break;
            case SimLink::Change::None:
                break;
        }
    }
    // Behind a Bluetooth link that is not up, the analyser stands still.
    if (!Reachable(port)) {
        return;
    }
    for (int round = 0; round < kMaxRoundsPerPump; ++round) {
        port.device->Advance(now);
        if (port.device->WantsHangup()) {
            port.removed = true;
            HangUp(port, now, "CLOSED");
            return;
        }
        if (port.device->TakeConnectionHangup()) {
            // The port stays listed and opens again, as after a failed link.
            HangUp(port, now, "hang-up of the connection");
            return;
        }
        if (!MoveDue(port, now)) {
            return;
        }
    }
}

bool DemoPorts::MoveDue(Port& port, SimTime now) {
    PacedOutput& output = port.device->Output();
    bool moved = false;
    for (std::string_view due = output.Due(now); !due.empty(); due = output.Due(now)) {
        if (!port.open || port.hungUp) {
            output.Consume(due.size());  // nobody listens: the bytes go nowhere
            moved = true;
            continue;
        }
        const size_t room = kReceiveQueueBytes - std::min(port.received.size(), kReceiveQueueBytes);
        if (room == 0) {
            return false;  // the rest waits until the program reads
        }
        const size_t taken = std::min(room, due.size());
        port.received.insert(port.received.end(), due.begin(), due.begin() + taken);
        output.Consume(taken);
        moved = true;
    }
    return moved && output.Empty();
}

std::optional<SimTime> DemoPorts::NextDeadline(const Port& port) const {
    std::optional<SimTime> deadline;
    const auto consider = [&deadline](std::optional<SimTime> t) {
        if (t && (!deadline || *t < *deadline)) {
            deadline = t;
        }
    };
    if (port.link) {
        consider(port.link->NextDeadline());
    }
    if (Reachable(port)) {
        consider(port.device->NextDeadline(port.received.size() < kReceiveQueueBytes));
    }
    return deadline;
}

std::vector<std::string> DemoPorts::List() {
    std::lock_guard lock(mutex_);
    const SimTime now = NowLocked();
    std::vector<std::string> names;
    for (const auto& port : ports_) {
        Pump(*port, now);
        if (!port->removed) {
            names.push_back(port->name);
        }
    }
    return names;
}

bool DemoPorts::Has(int port) const {
    std::lock_guard lock(mutex_);
    return Find(port) != nullptr;
}

bool DemoPorts::IsBluetoothLink(int number) {
    std::lock_guard lock(mutex_);
    Port* const port = Find(number);
    if (port == nullptr) {
        return false;
    }
    Pump(*port, NowLocked());
    return !port->removed && port->link.has_value();
}

bool DemoPorts::Open(int number, CommOpenError& error) {
    std::lock_guard lock(mutex_);
    const std::string device = DemoDevicePath(number);
    Port* const port = Find(number);
    if (port == nullptr) {
        error = OpenErrorOfOurOwn(CommOpenFailure::NoDevice, "none of the demo's ports", device);
        return false;
    }
    const SimTime now = NowLocked();
    Pump(*port, now);
    if (port->removed) {
        error = OpenErrorOfOurOwn(CommOpenFailure::NoDevice, "the demo's device hung up", device);
        return false;
    }
    if (port->open) {
        error = OpenErrorOfOurOwn(CommOpenFailure::Busy, "the port is open already", device);
        return false;
    }
    if (!port->device->Opened(now)) {
        error = OpenErrorOfOurOwn(CommOpenFailure::Busy, "the demo refuses to open it", device);
        return false;
    }
    port->open = true;
    port->hungUp = false;
    port->received.clear();
    port->mask = 0;
    port->wake = false;
    if (port->link) {
        port->link->Open(now);
        const SimBluetoothLink& settings = port->link->settings();
        Log(now, *port,
            std::string("LINK connecting (") + (settings.fails ? "fails" : "up") + " in " +
                std::to_string(settings.after.count() / 1000) + " ms)");
    }
    port->linesSeen = LinesOf(*port);
    port->outQueueSeen = 0;
    return true;
}

void DemoPorts::Close(int number) {
    {
        std::lock_guard lock(mutex_);
        Port* const port = Find(number);
        if (port == nullptr || !port->open) {
            return;
        }
        const SimTime now = NowLocked();
        Pump(*port, now);
        if (port->link && port->link->state() != SimLink::State::Down) {
            // Closing the port ends the link: what the program has not read is lost.
            port->link->Close();
            port->device->LinkDown(now);
            Log(now, *port, "LINK down");
        }
        port->device->Closed(now);
        port->open = false;
        port->hungUp = false;
        port->received.clear();
    }
    changed_.notify_all();
}

int32_t DemoPorts::Read(int number, void* buffer, int32_t count) {
    int32_t taken = 0;
    {
        std::lock_guard lock(mutex_);
        Port* const port = Find(number);
        if (port == nullptr || !port->open || count <= 0) {
            return 0;
        }
        Pump(*port, NowLocked());
        taken = static_cast<int32_t>(std::min(port->received.size(), static_cast<size_t>(count)));
        std::copy_n(port->received.begin(), taken, static_cast<char*>(buffer));
        port->received.erase(port->received.begin(), port->received.begin() + taken);
    }
    if (taken > 0) {
        changed_.notify_all();  // room for a device that had to wait
    }
    return taken;
}

int32_t DemoPorts::Write(int number, const void* buffer, int32_t count) {
    {
        std::lock_guard lock(mutex_);
        Port* const port = Find(number);
        if (port == nullptr || !port->open || count <= 0) {
            return 0;
        }
        const SimTime now = NowLocked();
        Pump(*port, now);
        if (port->hungUp || port->removed) {
            return 0;
        }
        std::string bytes(static_cast<const char*>(buffer), static_cast<size_t>(count));
        if (port->link) {
            bytes = port->link->Pass(std::move(bytes));
        }
        if (!bytes.empty()) {
            port->device->Receive(bytes.data(), bytes.size(), now);
            Pump(*port, now);  // a reply due at once, a hang-up on this command
        }
    }
    changed_.notify_all();
    return count;
}

CommQueueStatus DemoPorts::QueueStatus(int number) {
    std::lock_guard lock(mutex_);
    Port* const port = Find(number);
    if (port == nullptr || !port->open) {
        return {0, 0};
    }
    Pump(*port, NowLocked());
    if (port->hungUp || port->removed) {
        return {0, 0};
    }
    return {0, static_cast<uint32_t>(port->received.size()), OutQueueOf(*port)};
}

bool DemoPorts::HungUp(int number) {
    std::lock_guard lock(mutex_);
    Port* const port = Find(number);
    if (port == nullptr || !port->open) {
        return false;
    }
    Pump(*port, NowLocked());
    return port->hungUp || port->removed;
}

uint32_t DemoPorts::ModemStatus(int number) {
    std::lock_guard lock(mutex_);
    Port* const port = Find(number);
    if (port == nullptr) {
        return 0;
    }
    Pump(*port, NowLocked());
    return LinesOf(*port);
}

void DemoPorts::Purge(int number) {
    std::lock_guard lock(mutex_);
    if (Port* const port = Find(number); port != nullptr && port->open) {
        port->received.clear();
        if (port->link) {
            port->link->DropHeld();
        }
    }
}

void DemoPorts::SetEventMask(int number, uint32_t mask) {
    {
        std::lock_guard lock(mutex_);
        Port* const port = Find(number);
        if (port == nullptr) {
            return;
        }
        port->mask = mask;
        port->wake = true;
    }
    changed_.notify_all();
}

CommWaitResult DemoPorts::Wait(int number, ArrivalCounter& arrivals) {
    std::unique_lock lock(mutex_);
    Port* const port = Find(number);
    if (port == nullptr || !port->open) {
        return {CommWaitStatus::Gone, 0};
    }
    for (;;) {
        if (port->wake) {
            port->wake = false;
            return {CommWaitStatus::Woken, 0};
        }
        Pump(*port, NowLocked());
        if (port->hungUp || port->removed) {
            return {CommWaitStatus::Gone, 0};
        }
        uint32_t events = 0;
        if ((port->mask & EV_RXCHAR_BIT) != 0 &&
            arrivals.Arrived([port] { return std::optional<uint32_t>(port->received.size()); })
                .value_or(false)) {
            events |= EV_RXCHAR_BIT;
        }
        const uint32_t lines = LinesOf(*port);
        const uint32_t changedLines = lines ^ port->linesSeen;
        port->linesSeen = lines;
        if ((changedLines & MS_CTS_ON_BIT) != 0) {
            events |= port->mask & EV_CTS_BIT;
        }
        if ((changedLines & MS_DSR_ON_BIT) != 0) {
            events |= port->mask & EV_DSR_BIT;
        }
        if ((changedLines & MS_RLSD_ON_BIT) != 0) {
            events |= port->mask & EV_RLSD_BIT;
        }
        const uint32_t outQueue = OutQueueOf(*port);
        if (port->outQueueSeen > 0 && outQueue == 0) {
            events |= port->mask & EV_TXEMPTY_BIT;
        }
        port->outQueueSeen = outQueue;
        if (events != 0) {
            return {CommWaitStatus::Event, events};
        }
        // Until the simulator has something due, or someone reads, writes, closes, moves
        // the manual clock or sets the mask.
        const std::optional<SimTime> deadline = NextDeadline(*port);
        if (clock_ == Clock::Manual || !deadline) {
            changed_.wait(lock);
        } else {
            // At most a day at a time: a deadline further off (kSimNever among them) is
            // looked at again then, and the sum with the clock's start stays in its range.
            const SimTime until = std::min(*deadline, SimAfter(NowLocked(), kLongestWait));
            changed_.wait_until(lock, start_ + until);
        }
    }
}

std::string DemoDevicePath(int port) {
    return kPathPrefix + std::to_string(port);
}

int DemoPortOfPath(const std::string& path) {
    const size_t prefix = std::strlen(kPathPrefix);
    if (path.size() <= prefix || path.compare(0, prefix, kPathPrefix) != 0) {
        return 0;
    }
    int port = 0;
    for (size_t i = prefix; i < path.size(); ++i) {
        if (path[i] < '0' || path[i] > '9' || port > 1000) {
            return 0;
        }
        port = port * 10 + (path[i] - '0');
    }
    return port;
}
