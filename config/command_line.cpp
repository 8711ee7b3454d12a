#include "config/command_line.h"

#include <string_view>

#include "config/mean_request.h"
#include "data/cp1252.h"
#include "data/single_line.h"

namespace {

// Only a-z: the calling program expects umlauts in the header exactly as it passed them.
// The header is one line of the transfer file, so a line break inside it becomes a blank.
std::string HeaderLineOf(std::string_view argument) {
    std::string text = SingleLine(argument);
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return text;
}

// The firing type follows a fixed-width prefix such as "/ART=", skipped by position only.
constexpr size_t kFiringTypePrefixLength = 5;

/// The text after "NAME=" when `argument` is that switch with a value.
std::optional<std::string_view> SwitchValue(std::string_view argument, std::string_view name) {
    if (argument.size() > name.size() && argument.substr(0, name.size()) == name &&
        argument[name.size()] == '=') {
        return argument.substr(name.size() + 1);
    }
    return std::nullopt;
}

}  // namespace

CommandLine ReadCommandLine(const std::vector<std::string>& arguments) {
    CommandLine commandLine;
    if (arguments.empty()) {
        return commandLine;
    }
    commandLine.headerLine = HeaderLineOf(arguments[0]);
    if (arguments.size() >= 2 && arguments[1].size() > kFiringTypePrefixLength) {
        // The value of one line of the transfer file too.
        commandLine.firingTypeParameter =
            SingleLine(std::string_view(arguments[1]).substr(kFiringTypePrefixLength));
    }
    commandLine.transferFilePath = arguments.size() >= 3 ? arguments[2] : std::string();
    return commandLine;
}

ProgramArguments PrepareArguments(std::vector<std::string> arguments) {
    ProgramArguments prepared;
    // Only in front: a calling program's header never begins with them, and one that stood
    // further back could only have been meant as a header or a path.
    while (!arguments.empty()) {
        const std::string_view first = arguments.front();
        if (!prepared.demo && (SwitchValue(first, kDemoSwitch) || first == kDemoSwitch)) {
            const std::string_view options = SwitchValue(first, kDemoSwitch).value_or("");
            prepared.demo = options.empty() ? std::string("1") : std::string(options);
        } else if (!prepared.mean && (SwitchValue(first, kMeanSwitch) || first == kMeanSwitch)) {
            prepared.mean = std::string(SwitchValue(first, kMeanSwitch).value_or(""));
        } else {
            break;
        }
        arguments.erase(arguments.begin());
    }
    // Header and parameter become file text (Windows-1252); a path must stay as it is to
    // name the file the caller meant. A calling program that hands over Windows-1252 bytes
    // gives arguments that are not UTF-8: those bytes are the file text already.
    for (size_t i = 0; i < arguments.size() && i < 2; ++i) {
        if (IsWellFormedUtf8(arguments[i])) {
            arguments[i] = Utf8ToCp1252(arguments[i]);
        }
    }
    prepared.arguments = std::move(arguments);
    return prepared;
}
