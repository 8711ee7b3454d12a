#pragma once
// Replacing a file so that a reader never sees it half written: the settings file and
// the transfer file both go through here. A crash or a full disk leaves either the old
// file or the new one, never a mixture.

#include <string>
#include <string_view>

/// Writes `bytes` to a temporary file in the folder of `path`, flushes it to the disk and
/// renames it over `path`. On failure the temporary file is removed, an existing file at
/// `path` is left as it was, `*error` (when not null) receives a short description with the
/// system's reason, and the result is false. An empty path or a missing folder fails.
bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string* error);
