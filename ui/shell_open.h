#pragma once
// Opening a link target through the operating system's shell.

#include <functional>
#include <string>

/// Asks the shell to open `targetCp1252` (a file, URL or control panel applet, in the
/// single-byte code page) with its default action. Never blocks and never reports:
/// a target that cannot be opened is silently ignored.
/// On Linux "bthprops.cpl" (the Windows Bluetooth panel) starts the desktop's own
/// Bluetooth settings when one is installed, and otherwise shows, in a window of its own,
/// how to pair and bind the analyser with BlueZ's tools; other targets go to xdg-open.
void ShellOpen(const std::string& targetCp1252);

/// Opens the folder `pathUtf8` in the file manager (Explorer on Windows; xdg-open's on
/// Linux), making it first when it is missing. Never blocks; false when no file manager
/// could be asked to (Linux without xdg-open), so that the caller can name the folder.
bool ShellOpenFolder(const std::string& pathUtf8);

/// Replaces the shell (tests): while set, ShellOpen and ShellOpenFolder only call the hook
/// with the target (ShellOpenFolder's as UTF-8). An empty function restores the real shell.
using ShellOpenHook = std::function<void(const std::string& target)>;
void SetShellOpenHook(ShellOpenHook hook);
