#pragma once
// Where the running program lives: the settings file sits beside the executable, and the
// single-instance guard and the message box title are named after its file name.

#include <string>
#include <string_view>

/// Full path of the running executable (POSIX: the system's bytes; Windows: UTF-8); empty
/// when the system cannot tell.
std::string ExecutablePath();

/// Folder of the running executable including the trailing separator; empty when unknown.
std::string ExecutableDirectory();

/// File name with extension of the running executable (no folder); empty when unknown.
std::string ExecutableFileName();

/// The part of `path` after the last of the `separators` (the whole path when none occurs).
std::string FileNamePart(std::string_view path, std::string_view separators);

/// The part of `path` up to and including the last of the `separators` (empty when none).
std::string DirectoryPart(std::string_view path, std::string_view separators);

/// Characters that end a folder name in this system's paths ("/" on POSIX; "\\", "/" and
/// ":" on Windows).
std::string_view PathSeparators();
