#pragma once
// Where the running program lives: the settings file sits beside the executable, and the
// single-instance guard and the message box title are named after its file name.

#include <string>

/// Full path of the running executable (POSIX: the system's bytes; Windows: UTF-8); empty
/// when the system cannot tell.
std::string ExecutablePath();

/// Folder of the running executable including the trailing separator; empty when unknown.
std::string ExecutableDirectory();

/// File name with extension of the running executable (no folder); empty when unknown.
std::string ExecutableFileName();
