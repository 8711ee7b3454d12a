#pragma once
// Where Debian's fonts-wine keeps Tahoma (LGPL), the fallback of the windows' text before
// DejaVu Sans, on systems that have it only there: Linux, and Wine, which does not offer
// those files to programs as system fonts. Windows itself has its own Tahoma and nothing
// at those paths (a Unix path there would name a folder on the current drive).
// wine_font_files_posix.cpp and wine_font_files_win32.cpp; no Qt.

#include <string>
#include <vector>

/// The font files to register with the application, as this system names them (UTF-8),
/// those that exist: on Linux fonts-wine's Tahoma; under Wine the same files by their
/// Windows names; on Windows none.
std::vector<std::string> WineFontFiles();

/// The Unix paths of fonts-wine's Tahoma, regular and bold. The .fon bitmap files beside
/// them are deliberately not loaded: FreeType warns about them and scales them badly.
const std::vector<std::string>& WineFontFilesOnUnix();
