#pragma once
// Splitting a path into its folder and its file name, by the separators of a system.

#include <string>
#include <string_view>

/// The part of `path` after the last of the `separators` (the whole path when none occurs).
std::string FileNamePart(std::string_view path, std::string_view separators);

/// The part of `path` up to and including the last of the `separators` (empty when none).
std::string DirectoryPart(std::string_view path, std::string_view separators);

/// Characters that end a folder name in this system's paths ("/" on POSIX; "\\", "/" and
/// ":" on Windows); path_parts_posix.cpp and path_parts_win32.cpp.
std::string_view PathSeparators();
