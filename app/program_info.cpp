#include "app/program_info.h"

namespace {

// The four-part version of the build (project(VERSION) of the top CMakeLists.txt).
constexpr char kVersionLine[] = "fumilink " FUMILINK_VERSION "\n";

constexpr char kUsage[] =
    "Usage: fumilink [--demo[=OPTIONS]] [--mean=SECONDS]\n"
    "                [HEADER /ART=FIRING-TYPE TRANSFER-FILE]\n"
    "       fumilink --help | --version\n"
    "\n"
    "Finds the flue-gas analyser on a serial port and shows its live values; \"Daten\n"
    "\xC3\xBC"
    "bernehmen\" writes them with the manual entries to TRANSFER-FILE for the\n"
    "calling program, and the program ends.\n"
    "\n"
    "  HEADER            first line of the transfer file (a-z become upper case)\n"
    "  /ART=FIRING-TYPE  the firing type after a five-character prefix; 1, 7 and\n"
    "                    14 switch the smoke-number inputs on\n"
    "  TRANSFER-FILE     path of the transfer file (without arguments: data.csv in\n"
    "                    the current folder)\n"
    "  --demo[=OPTIONS]  talk to the demo analyser inside the program instead of the\n"
    "                    serial ports (before the other arguments; wins over\n"
    "                    FUMILINK_DEMO). OPTIONS are fumilink-sim's (--port 5,\n"
    "                    --fault ...; none: a healthy analyser on COM5) and two of\n"
    "                    the demo's own for unattended runs:\n"
    "                      --take-over-after SECONDS  press \"Daten \xC3\xBC"
    "bernehmen\"\n"
    "                      --abort-after SECONDS      press \"Abbrechen\"\n"
    "                    SECONDS after the first live values (or after the error\n"
    "                    state of a search that found none; a take-over that\n"
    "                    cannot come presses \"Abbrechen\"). A demo writes no\n"
    "                    settings and no debug.log.\n"
    "  --mean=SECONDS    write the mean of each value over the last SECONDS of live\n"
    "                    data (5 to 300; 0: off, also against Mittelwert in\n"
    "                    fumilink.ini); an early take-over waits for a full window\n"
    "  --help            show this text\n"
    "  --version         show the version\n"
    "\n"
    "A transfer file that cannot be written (no path, no folder, no right to write)\n"
    "is said at the start; the program goes on.\n"
    "The exit status is 0 whether or not a transfer file was written.\n"
    "\n"
    "Every run leaves a session record for support: the ports searched, what was\n"
    "sent and received, the boxes shown, the take-over's outcome, and the transfer\n"
    "file's path (never the header line). The newest 20 are kept in\n"
    "%LOCALAPPDATA%\\Fumilink\\Logs on Windows, $XDG_STATE_HOME/fumilink/logs\n"
    "(~/.local/state/fumilink/logs) on Linux.\n";

}  // namespace

std::optional<std::string> ProgramInfoRequested(const std::vector<std::string>& arguments) {
    if (arguments.size() != 1) {
        return std::nullopt;
    }
    if (arguments[0] == "--help") {
        return kUsage;
    }
    if (arguments[0] == "--version") {
        return kVersionLine;
    }
    return std::nullopt;
}
