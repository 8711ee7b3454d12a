#include "ui/shell_open_posix.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QThread>
#include <QWidget>
#include <set>
#include <string>
#include <vector>

#include "ui/linux_bluetooth_steps.h"
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

// Restores PATH when the test ends; the shell looks programs up in it at every call.
class ScopedPath {
public:
    explicit ScopedPath(const QString& path) : saved_(qgetenv("PATH")) {
        qputenv("PATH", path.toLocal8Bit());
    }
    ~ScopedPath() { qputenv("PATH", saved_); }
    ScopedPath(const ScopedPath&) = delete;
    ScopedPath& operator=(const ScopedPath&) = delete;

private:
    QByteArray saved_;
};

std::vector<QMessageBox*> StepWindows() {
    std::vector<QMessageBox*> found;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(widget);
        if (box != nullptr && box->isVisible() && box->text() == LinuxBluetoothStepsHtml()) {
            found.push_back(box);
        }
    }
    return found;
}

TEST(ShellOpen, BluetoothPanelWithoutADesktopToolShowsTheLinuxSteps) {
    QTemporaryDir bin;
    ScopedPath path(bin.path());
    ShellOpen("bthprops.cpl");
    const std::vector<QMessageBox*> shown = StepWindows();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_FALSE(shown[0]->isModal());
    EXPECT_TRUE(shown[0]->text().contains(QStringLiteral("rfcomm bind 0")));
    shown[0]->close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(StepWindows().empty());

    // Other targets without xdg-open still do nothing at all.
    ShellOpen("handbuch.pdf");
    EXPECT_TRUE(StepWindows().empty());
}

TEST(ShellOpen, BluetoothPanelStartsAnInstalledDesktopToolInsteadOfTheSteps) {
    QTemporaryDir bin;
    const QString marker = bin.filePath(QStringLiteral("started"));
    const QString tool = bin.filePath(QStringLiteral("blueman-manager"));
    QFile script(tool);
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write(QStringLiteral("#!/bin/sh\n: > '%1'\n").arg(marker).toLocal8Bit());
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    ScopedPath path(bin.path());  // no real settings tool of this machine may start
    ShellOpen("bthprops.cpl");
    EXPECT_TRUE(StepWindows().empty());
    // The tool runs detached; give a loaded machine plenty of time to start it.
    for (int i = 0; i < 600 && !QFile::exists(marker); ++i) {
        QThread::msleep(50);
    }
    EXPECT_TRUE(QFile::exists(marker));
}

}  // namespace
