#pragma once
// Where the session records of the runs go: one folder per user, kept apart from the
// settings. Windows: %LOCALAPPDATA%\Fumilink\Logs. Linux: $XDG_STATE_HOME/fumilink/logs,
// ~/.local/state/fumilink/logs when the variable is unset (the XDG base directory rules'
// place for logs and history).

#include <string>

/// The folder (without a trailing separator); empty when the system names none.
std::string SessionRecordFolder();
