#pragma once
// The program's own accessible interfaces, for controls whose meaning Qt cannot know:
// what assistive tools (screen readers, UI automation, the touch keyboard) are told about
// them and what they may do with them.

/// Makes Qt describe the connection picture (TImage) as a button named by its state whose
/// press action starts a new search, as a double-click does. Installing twice does
/// nothing more.
void InstallAccessibleInterfaces();
