#pragma once
// Where the search writes "debug.log" when it opens a port numbered 1 or lower: the
// current folder where the user may write it there, else the folder of the user's own
// settings file. A calling program often starts the tool with its own folder under
// Program Files (or /usr/bin) as the current one, where a standard user may not write;
// the message "Logdatei konnte nicht geschrieben werden!" is then due only where neither
// place can be written.

#include <string>

/// File name of the debug log.
inline constexpr const char* kDebugLogFileName = "debug.log";

/// `currentFolder` + "debug.log" (the folder ends with a separator) when that file exists
/// and may be written, or may be created there; otherwise "debug.log" in the folder of
/// `perUserSettingsPath`, which the save creates first. The current folder's also when
/// the per-user file is unknown (empty).
std::string ChooseDebugLogPath(const std::string& currentFolder,
                               const std::string& perUserSettingsPath);

/// ChooseDebugLogPath for the current folder and this user's own settings file.
std::string DebugLogFilePath();
