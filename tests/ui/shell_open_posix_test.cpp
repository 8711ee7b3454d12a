#include "ui/shell_open_posix.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "ui/shell_open.h"

namespace {

std::optional<LaunchCommand> Resolve(const std::string& target, const std::string& desktop,
                                     std::set<std::string> installed) {
    return ResolveShellTarget(target, desktop, [installed](const std::string& program) {
        return installed.count(program) > 0;
    });
}

TEST(ResolveShellTarget, BluetoothPanelUsesTheCurrentDesktopsTool) {
    const std::set<std::string> everything = {"gnome-control-center", "systemsettings",
                                              "blueman-manager", "blueberry", "xdg-open"};
    EXPECT_EQ(Resolve("bthprops.cpl", "KDE", everything),
              (LaunchCommand{"systemsettings", {"kcm_bluetooth"}}));
    EXPECT_EQ(Resolve("bthprops.cpl", "ubuntu:GNOME", everything),
              (LaunchCommand{"gnome-control-center", {"bluetooth"}}));
    EXPECT_EQ(Resolve("bthprops.cpl", "X-Cinnamon", everything), (LaunchCommand{"blueberry", {}}));
    // Desktop names match whole list entries only: "KDEX" is no KDE.
    EXPECT_EQ(Resolve("bthprops.cpl", "KDEX", {"systemsettings", "gnome-control-center"}),
              (LaunchCommand{"gnome-control-center", {"bluetooth"}}));
}

TEST(ResolveShellTarget, BluetoothPanelFallsBackToAnyInstalledTool) {
    EXPECT_EQ(Resolve("bthprops.cpl", "XFCE", {"blueman-manager", "xdg-open"}),
              (LaunchCommand{"blueman-manager", {}}));
    EXPECT_EQ(Resolve("BTHPROPS.CPL", "", {"kcmshell5"}),
              (LaunchCommand{"kcmshell5", {"kcm_bluetooth"}}));
    EXPECT_EQ(Resolve("bthprops.cpl", "GNOME", {"systemsettings5"}),
              (LaunchCommand{"systemsettings5", {"kcm_bluetooth"}}));
}

TEST(ResolveShellTarget, BluetoothPanelWithoutAToolDoesNothing) {
    // Not even xdg-open: it would look for a file named bthprops.cpl.
    EXPECT_FALSE(Resolve("bthprops.cpl", "GNOME", {"xdg-open"}).has_value());
    EXPECT_FALSE(Resolve("bthprops.cpl", "", {}).has_value());
}

TEST(ResolveShellTarget, OtherTargetsGoToXdgOpen) {
    EXPECT_EQ(Resolve("https://example.org/a b", "GNOME", {"xdg-open", "gnome-control-center"}),
              (LaunchCommand{"xdg-open", {"https://example.org/a b"}}));
    EXPECT_FALSE(Resolve("handbuch.pdf", "GNOME", {"gnome-control-center"}).has_value());
    EXPECT_FALSE(Resolve("", "GNOME", {"xdg-open"}).has_value());
}

TEST(ShellOpen, HookTakesTheTargetInsteadOfTheShell) {
    std::vector<std::string> seen;
    SetShellOpenHook([&](const std::string& target) { seen.push_back(target); });
    ShellOpen("bthprops.cpl");
    ShellOpen("Ger\xE4t.cpl");
    SetShellOpenHook(nullptr);
    EXPECT_EQ(seen, (std::vector<std::string>{"bthprops.cpl", "Ger\xE4t.cpl"}));
}

}  // namespace
