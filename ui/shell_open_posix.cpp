#include "ui/shell_open_posix.h"

#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "config/make_folders.h"
#include "data/cp1252.h"
#include "ui/linux_bluetooth_steps.h"
#include "ui/shell_open_native.h"

namespace {

struct SettingsTool {
    const char* desktop;  // XDG_CURRENT_DESKTOP component it belongs to
    LaunchCommand command;
};

// Bluetooth settings of the common desktops, in the order tried when the current
// desktop has none of its own installed.
const std::vector<SettingsTool>& BluetoothTools() {
    static const std::vector<SettingsTool> tools = {
        {"GNOME", {"gnome-control-center", {"bluetooth"}}},
        {"KDE", {"systemsettings", {"kcm_bluetooth"}}},
        {"KDE", {"systemsettings5", {"kcm_bluetooth"}}},
        {"KDE", {"kcmshell6", {"kcm_bluetooth"}}},
        {"KDE", {"kcmshell5", {"kcm_bluetooth"}}},
        {"X-Cinnamon", {"blueberry", {}}},
        {"", {"blueman-manager", {}}},
    };
    return tools;
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool DesktopMatches(const std::string& currentDesktop, const std::string& desktop) {
    if (desktop.empty()) {
        return false;
    }
    // XDG_CURRENT_DESKTOP is a colon-separated list, e.g. "ubuntu:GNOME".
    const std::string list = ":" + currentDesktop + ":";
    return list.find(":" + desktop + ":") != std::string::npos;
}

}  // namespace

bool IsBluetoothPanel(const std::string& targetUtf8) {
    return Lower(targetUtf8) == "bthprops.cpl";
}

std::optional<LaunchCommand> ResolveShellTarget(
    const std::string& targetUtf8, const std::string& currentDesktop,
    const std::function<bool(const std::string&)>& isInstalled) {
    if (IsBluetoothPanel(targetUtf8)) {
        for (const bool ownDesktop : {true, false}) {
            for (const SettingsTool& tool : BluetoothTools()) {
                if (DesktopMatches(currentDesktop, tool.desktop) == ownDesktop &&
                    isInstalled(tool.command.program)) {
                    return tool.command;
                }
            }
        }
        return std::nullopt;
    }
    if (!targetUtf8.empty() && isInstalled("xdg-open")) {
        return LaunchCommand{"xdg-open", {targetUtf8}};
    }
    return std::nullopt;
}

void ShellOpenNative(const std::string& targetCp1252) {
    const char* desktop = std::getenv("XDG_CURRENT_DESKTOP");
    const std::string target = Cp1252ToUtf8(targetCp1252);
    const auto command =
        ResolveShellTarget(target, desktop ? desktop : "", [](const std::string& program) {
            return !QStandardPaths::findExecutable(QString::fromStdString(program)).isEmpty();
        });
    if (!command) {
        // Without a desktop tool the link would do nothing, and the user would be left
        // without a way to pair the analyser.
        if (IsBluetoothPanel(target)) {
            ShowLinuxBluetoothSteps();
        }
        return;
    }
    QStringList arguments;
    for (const std::string& argument : command->arguments) {
        arguments << QString::fromStdString(argument);
    }
    // Detached: the settings tool lives on its own and the window never waits for it.
    QProcess::startDetached(QString::fromStdString(command->program), arguments);
}

bool ShellOpenFolderNative(const std::string& pathUtf8) {
    MakeFolders(pathUtf8, nullptr);
    return !QStandardPaths::findExecutable(QStringLiteral("xdg-open")).isEmpty() &&
           QProcess::startDetached(QStringLiteral("xdg-open"), {QString::fromStdString(pathUtf8)});
}
