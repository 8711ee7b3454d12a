#pragma once
// How a link target is opened on a Linux desktop.

#include <functional>
#include <optional>
#include <string>
#include <vector>

/// A program to start, detached, with its arguments.
struct LaunchCommand {
    std::string program;
    std::vector<std::string> arguments;
    bool operator==(const LaunchCommand&) const = default;
};

/// True for "bthprops.cpl" in any case: the Windows Bluetooth panel the help pages link to.
bool IsBluetoothPanel(const std::string& targetUtf8);

/// Chooses what opens `targetUtf8`. "bthprops.cpl" (any case), the Windows Bluetooth
/// panel, maps to the Bluetooth settings of the first installed desktop tool, trying
/// the one that belongs to `currentDesktop` (XDG_CURRENT_DESKTOP) first; nothing when
/// none is installed. Any other non-empty target goes to xdg-open when installed.
/// `isInstalled` tells whether a program name is found in PATH.
std::optional<LaunchCommand> ResolveShellTarget(
    const std::string& targetUtf8, const std::string& currentDesktop,
    const std::function<bool(const std::string&)>& isInstalled);
