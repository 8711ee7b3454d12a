#include "app/demo_analyser.h"

#include <memory>
#include <string_view>

#include "sim/demo_port_provider.h"
#include "sim/sim_log.h"
#include "sim/sim_ports.h"

namespace {

constexpr int kHighestProgramPort = 99;  // the program opens COM1..COM99 only
constexpr const char* kMark = "DEMO";
constexpr const char* kDemoSerial = "DEMO42";  // the demo's own serial number

void MarkAsDemo(std::string& reply) {
    if (reply.find(kMark) == std::string::npos) {
        reply += reply.empty() ? kMark : std::string(" ") + kMark;
    }
}

std::string PortOutOfReach(const SimOptions& options) {
    for (const SimPortPlan& port : PlanPorts(options)) {
        if (port.number > kHighestProgramPort) {
            return "COM" + std::to_string(port.number) + ": the program opens COM1 to COM99 only";
        }
    }
    return {};
}

// Unset, empty, blanks only or "0": a user's way of saying "off".
bool AsksForDemo(const char* value) {
    if (value == nullptr) {
        return false;
    }
    const std::string_view text(value);
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return false;
    }
    return text.substr(first, text.find_last_not_of(" \t") + 1 - first) != "0";
}

}  // namespace

std::vector<std::string> SplitDemoArguments(const std::string& value) {
    std::vector<std::string> arguments;
    std::string current;
    bool inArgument = false;
    bool quoted = false;
    for (const char c : value) {
        if (c == '"') {
            quoted = !quoted;
            inArgument = true;
        } else if (!quoted && (c == ' ' || c == '\t' || c == '\r' || c == '\n')) {
            if (inArgument) {
                arguments.push_back(current);
                current.clear();
                inArgument = false;
            }
        } else {
            current += c;
            inArgument = true;
        }
    }
    if (inArgument) {
        arguments.push_back(current);
    }
    return arguments;
}

DemoSetting ParseDemoSetting(const std::string& value) {
    DemoSetting setting;
    const std::vector<std::string> arguments =
        value == "1" ? std::vector<std::string>{} : SplitDemoArguments(value);
    const SimOptionsResult parsed = ParseSimOptions(arguments, {}, SimPortPlace::InProgram);
    if (parsed.helpRequested) {
        setting.refusal =
            "--help: the options are those of fumilink-sim (README, LIESMICH-README.txt)";
        return setting;
    }
    setting.refusal = parsed.error.empty() ? PortOutOfReach(parsed.options) : parsed.error;
    if (!setting.refusal.empty()) {
        return setting;
    }
    setting.options = parsed.options;
    setting.note = parsed.note;
    const auto inMilliseconds = [](const std::optional<SimTime>& after) {
        return after ? std::optional(std::chrono::duration_cast<std::chrono::milliseconds>(*after))
                     : std::nullopt;
    };
    setting.presses = {inMilliseconds(parsed.takeOverAfter), inMilliseconds(parsed.abortAfter)};
    if (setting.options.serial == SimOptions{}.serial) {
        // The window shows R001 and R004 side by side in a label of the analyser's width.
        setting.options.serial = kDemoSerial;
    }
    MarkAsDemo(setting.options.id);
    MarkAsDemo(setting.options.id2);
    MarkAsDemo(setting.options.serial);
    return setting;
}

DemoStart StartDemoAnalyser(const char* value, std::string_view givenAs) {
    DemoStart start;
    if (!AsksForDemo(value)) {
        return start;
    }
    const DemoSetting setting = ParseDemoSetting(value);
    const auto refused = [value, givenAs](const std::string& reason) {
        return std::string(givenAs) + "=" + value + " wird nicht angenommen:\n" +
               "Die Vorführung kann so nicht starten (" + reason + ").";
    };
    if (!setting.refusal.empty()) {
        start.refusal = refused(setting.refusal);
        return start;
    }
    DemoPorts::EventSink sink;
    if (!setting.options.logPath.empty()) {
        auto log = std::make_shared<SimLog>();
        std::string error;
        if (!log->OpenFile(setting.options.logPath, error)) {
            start.refusal = refused(error);
            return start;
        }
        sink = [log](SimTime at, const std::string& port, const std::string& event) {
            log->Write(at, port, event);
        };
    }
    start.presses = setting.presses;
    start.note = setting.note;
    start.ports = std::make_unique<DemoPortProvider>(
        std::make_shared<DemoPorts>(setting.options, std::move(sink)));
    return start;
}
