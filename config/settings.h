#pragma once
// The settings file "fumilink.ini" remembers the COM port and the identification of the
// analyser found last, so the next search tries that port first. It sits beside the
// executable where the user may write it there, otherwise in the user's own settings
// folder (SettingsFilePath, settings_location.h).
// Section [Main], keys comport and SerNr; the optional key SO2Key names the key under
// which the transfer file carries SO2, and Mittelwert the window of the mean that the take-over
// writes in place of the last values. Every other line of the file is kept as it is.
// Values are Windows-1252 bytes, exactly as in a file in the ANSI code page; a file an
// editor saved as UTF-8 or UTF-16 with a byte-order mark is read and written back in its
// own form (text_form.h).

#include <cstddef>
#include <cstdint>
#include <string>

/// File name of the settings file.
inline constexpr const char* kSettingsFileName = "fumilink.ini";

/// A settings file larger than this counts as unreadable: it is neither loaded nor
/// changed. The program writes a few dozen bytes; anything near this size is not ours.
inline constexpr size_t kMaxSettingsFileBytes = 1024 * 1024;

/// Texts for the information box when the settings file cannot be read or written.
inline constexpr const char* kLoadSettingsFailedText = "Fehler beim Laden der Init-Datei";
inline constexpr const char* kSaveSettingsFailedText = "Fehler beim Speichern der Init-Datei";

/// The remembered state. Start values are those of a freshly created main window.
struct Settings {
    int32_t portNumber = 0;      ///< COM port number ("comport")
    std::string identification;  ///< analyser identification ("SerNr"), Windows-1252
    bool settingsFound = false;  ///< the file had a [Main] section at the last load
    std::string so2Key;          ///< transfer file key for SO2 ("SO2Key"); empty = no SO2 line
    /// The administrator's default for the mean's window ("Mittelwert", mean_request.h), as
    /// written; empty when the key is missing.
    std::string meanSeconds;
};

/// Reads the settings file at `path`. With a [Main] section: portNumber = ParseIntLoose of
/// comport (default "1"), identification = SerNr (default "1"), so2Key = SO2Key (default
/// empty), meanSeconds = Mittelwert (default empty), settingsFound = true. Without one (a
/// missing file included): settingsFound = false, the other fields unchanged, result true. A
/// file that exists but cannot be read (also: not a regular file, or larger than
/// kMaxSettingsFileBytes) leaves every field unchanged, fills `*error` (when not null; a
/// German sentence, file_failure_text.h) and returns false; the caller then shows
/// kLoadSettingsFailedText with it.
bool LoadSettings(const std::string& path, Settings& settings, std::string* error);

/// Writes comport (decimal, no padding) and SerNr (CR and LF turned into blanks) into [Main]
/// of the file at `path`,
/// keeping every other line, and replaces the file atomically. SO2Key and Mittelwert are not
/// written.
/// Missing folders of `path` are created first (the first save in a fresh home).
/// On failure (existing file unreadable, write or rename failing) the old file stays,
/// `*error` is filled (a German sentence) and the result is false; the caller shows
/// kSaveSettingsFailedText with it.
bool SaveSettings(const std::string& path, const Settings& settings, std::string* error);
