#include "tests/support/demo_sim.h"

#include "sim/sim_options.h"

DemoSim::DemoSim(const std::vector<std::string>& arguments, ManualClock& clock) : clock_(clock) {
    const SimOptionsResult parsed = ParseSimOptions(arguments, {}, SimPortPlace::InProgram);
    if (!parsed.error.empty()) {
        problem_ = parsed.error;
        return;
    }
    Start(parsed.options);
}

DemoSim::DemoSim(const SimOptions& options, ManualClock& clock) : clock_(clock) {
    Start(options);
}

void DemoSim::Start(const SimOptions& options) {
    auto demo = std::make_shared<DemoPorts>(
        options,
        [this](SimTime at, const std::string& port, const std::string& event) {
            std::lock_guard lock(logMutex_);
            log_.emplace_back(at, port + " " + event);
        },
        DemoPorts::Clock::Manual);
    demo->SetTime(clock_.Now());
    // The simulator's bytes come at their line rate, between the link's ticks.
    clock_.SetWaitStep(std::chrono::milliseconds(10));
    clock_.SetOnMoved([demo](std::chrono::milliseconds now) { demo->SetTime(now); });
    ports_ = std::make_unique<DemoPortProvider>(std::move(demo));
}

DemoSim::~DemoSim() {
    clock_.SetOnMoved(nullptr);
}

std::string DemoSim::Log() const {
    std::lock_guard lock(logMutex_);
    std::string text;
    for (const auto& [at, line] : log_) {
        text += std::to_string(at.count() / 1000) + " " + line + "\n";
    }
    return text;
}

int DemoSim::Count(const std::string& needle) const {
    std::lock_guard lock(logMutex_);
    int count = 0;
    for (const auto& [at, line] : log_) {
        for (size_t pos = line.find(needle); pos != std::string::npos;
             pos = line.find(needle, pos + 1)) {
            ++count;
        }
    }
    return count;
}

int DemoSim::Received(int port, const std::string& command) const {
    return Count("COM" + std::to_string(port) + " RX \"" + command + "\"");
}

int DemoSim::ReceivedAny(int port) const {
    return Count("COM" + std::to_string(port) + " RX ");
}

std::optional<SimTime> DemoSim::FirstAt(const std::string& text) const {
    std::lock_guard lock(logMutex_);
    for (const auto& [at, line] : log_) {
        if (line.rfind(text, 0) == 0) {
            return at;
        }
    }
    return std::nullopt;
}
