#pragma once
// The demo analyser of --demo[=OPTIONS] and FUMILINK_DEMO: fumilink-sim's simulator inside
// the program, in place of the system's serial ports (sim/demo_ports.h), so that the whole
// hand-over can be tried and every field behaviour rehearsed on any PC, Windows included.
// The value is the simulator's options ("1" for the default analyser on COM5), e.g.
//   FUMILINK_DEMO=--dead-port 3 --port 5 --fault hangup-after=8000
//   fumilink --demo="--bluetooth 5:up=2500" HEADER /ART=14 out.csv
// and two of the demo's own, which press the window's buttons for an unattended run
// (--take-over-after SECONDS, --abort-after SECONDS).
// A demo never passes for a measurement: the simulated analyser's replies to R001, R002
// and R004 always say DEMO (R001 still holds "ZOR"; the serial number is DEMO42 unless
// --serial gives one), so the transfer file carries it.

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "serial/port_provider.h"
#include "sim/sim_options.h"

/// The buttons an unattended demo presses by itself, each this long after the first live
/// values; none when not asked for.
struct DemoPresses {
    std::optional<std::chrono::milliseconds> takeOverAfter;  ///< "Daten übernehmen"
    std::optional<std::chrono::milliseconds> abortAfter;     ///< "Abbrechen"
};

/// What a demo's value asks for.
struct DemoSetting {
    SimOptions options;
    DemoPresses presses;
    std::string refusal;  ///< why the value was refused; empty when it was taken
    std::string note;     ///< what the user should know of a value taken (SimOptionsResult)
};

/// Splits `value` into arguments: blanks separate them, double quotes group blanks into
/// one (--id "ZOR GX40 Test"); a backslash is an ordinary character (Windows paths).
std::vector<std::string> SplitDemoArguments(const std::string& value);

/// Reads `value` as the simulator's options and the demo's presses: "1" is the default
/// analyser; --port-dir, --ready-file and --log-sent have nothing to do inside the program,
/// and ports must be COM1..COM99 as the program numbers them. The identifications are
/// marked DEMO.
DemoSetting ParseDemoSetting(const std::string& value);

/// What a demo's value starts.
struct DemoStart {
    /// The simulator's ports, to hand down in place of the system's; none when the value is
    /// not set or refused.
    std::unique_ptr<PortProvider> ports;
    DemoPresses presses;
    /// Names a refused value with the reason, for a message box; empty otherwise.
    std::string refusal;
    /// What the user should know of a value taken, for a message box; empty when nothing.
    std::string note;
};

/// Where a demo's value came from, for the refusal to name it as the user wrote it.
inline constexpr const char* kDemoVariable = "FUMILINK_DEMO";

/// For a demo's `value` given as `givenAs` (kDemoVariable, or kDemoSwitch of
/// config/command_line.h; nullptr, empty, blanks or "0": none given, nothing is started): starts
/// its simulator. --log FILE writes the simulator's log there; without it there is none.
DemoStart StartDemoAnalyser(const char* value, std::string_view givenAs = kDemoVariable);
