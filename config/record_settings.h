#pragma once
// How the session records are kept, as the settings files say: in [Main], Protokolle=0
// switches them off (default 1), Protokollordner=PATH puts them in a folder of its own
// (default: SessionRecordFolder, record_location.h), Protokolltage=N removes those older
// than N days at the start (default 30). A data-protection rule is an office's, not a
// user's: the administrator's file beside the program is read at every start, also where
// the user's own file is the one used, and what it sets wins.

#include <string>

/// Default of Protokolltage.
inline constexpr int kDefaultRecordDays = 30;

struct RecordSettings {
    bool enabled = true;                ///< Protokolle: any value but "0" keeps them on
    std::string folder;                 ///< Protokollordner (UTF-8); empty: the system's place
    int keptDays = kDefaultRecordDays;  ///< Protokolltage
};

/// Sets the fields whose keys the file at `path` has in [Main]; the others stay. A missing
/// or unreadable file changes nothing. Protokolltage takes decimal digits only (0: every
/// earlier record goes); anything else keeps the value before, so that a typing error never
/// removes the records. Protokollordner is UTF-8 where the file's bytes are, otherwise
/// Windows-1252 (an ANSI file on Windows).
void ReadRecordSettings(const std::string& path, RecordSettings& settings);

/// The user's own file `userFile`, then the administrator's `adminFile` over it (either may
/// be empty), then the machine policy over both (ApplyRecordPolicy).
RecordSettings RecordSettingsFrom(const std::string& userFile, const std::string& adminFile);

/// Windows: sets the fields that machine policy sets, the values under
/// HKEY_LOCAL_MACHINE\SOFTWARE\Policies\Fumilink: Protokolle (DWORD, 0 = none),
/// Protokolltage (DWORD) and Protokollordner (REG_SZ or REG_EXPAND_SZ, its environment
/// variables expanded), as the administrative template fumilink.admx writes them. Elsewhere
/// it changes nothing: a Linux office sets the file beside the program.
void ApplyRecordPolicy(RecordSettings& settings);
