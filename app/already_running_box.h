#pragma once
// The box of a second copy, which says that the first one runs. It must come up in front:
// two calling programs that start the program at almost the same moment make the first
// copy's window appear after the second copy's box, and a box hidden behind it leaves the
// user wondering why nothing happens. POSIX: the toolkit's box, kept on top
// (already_running_box_posix.cpp); Windows: the system's own box, topmost
// (already_running_box_win32.cpp).

#include <string>

#include "app/toolkit_start.h"

/// Shows `message` in a plain box (no icon, one "OK") titled `title` (both UTF-8) in front of
/// every other window and returns once the user has closed it. POSIX starts the toolkit for
/// it (`toolkit`); the process ends with 0 where the toolkit cannot start.
void ShowAlreadyRunningBox(ToolkitArguments& toolkit, const std::string& title,
                           const std::string& message);
