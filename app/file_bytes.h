#pragma once
// Reading a whole small file while telling "not there" from "there but unreadable": a
// missing settings file is normal, an unreadable one is an error the user must see.

#include <string>

enum class ReadFileResult {
    Ok,       ///< bytes hold the whole file
    Missing,  ///< no file at that path
    Failed,   ///< the file exists (or may) but could not be read; error says why
};

/// Reads the file at `path` into `*bytes`. `*error` (when not null) is filled on Failed.
ReadFileResult ReadFileBytes(const std::string& path, std::string* bytes, std::string* error);
