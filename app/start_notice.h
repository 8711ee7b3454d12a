#pragma once
// How the program start reaches the user before any window of its own exists: the box of
// a second copy, and the answer to --help or --version.

#include <string>

/// FUMILINK_MESSAGE_BOXES=stderr turns every message box into a line on standard error,
/// for unattended runs (scripts, tests) where nobody could close a modal box.
bool MessageBoxesGoToStderr();

/// Whether a message box can reach the user at all. POSIX: when a display is named
/// (DISPLAY, WAYLAND_DISPLAY) or a toolkit platform is chosen (QT_QPA_PLATFORM, which
/// tests set to "offscreen"); without one the toolkit could only abort. Windows: always,
/// whatever the environment holds; every interactive session has a desktop, and the Unix
/// variables Wine copies in are none of Windows' business.
bool CanShowMessageBox();

/// Why the window toolkit could not start, in one line (POSIX: the display that is missing
/// or could not be reached).
std::string ToolkitFailure();

/// Shows `text` (UTF-8), the answer to --help or --version. POSIX: on standard output.
/// Windows: on standard output too (where the caller redirected it; a program without a
/// console has none otherwise) and in a message box titled `title` (UTF-8), which returns
/// when the user closes it; FUMILINK_MESSAGE_BOXES=stderr leaves the box out.
void ShowProgramInfo(const std::string& title, const std::string& text);
