#pragma once
// The program's icon on its windows: title bar, task bar, window switcher.

#include <QIcon>

/// The icon the program's files carry, for its windows. Windows: the executable's icon
/// resource IDI_FUMILINK, the one Explorer shows (Qt's window class would look for
/// IDI_ICON1 alone, and otherwise show the system's generic icon). Linux: the desktop
/// icon's artwork at the sizes of the installed icon theme. Null on Windows in a program
/// without the resource (a test program).
QIcon ProgramIcon();
