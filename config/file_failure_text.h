#pragma once
// The reason a file could not be read or written, as the one German sentence a message box
// gives after its first line: ours, with the system's words in parentheses. The English
// texts of the file layer name temporary files and go to the record, never into a box.

#include <string>

#include "config/atomic_write.h"
#include "config/file_bytes.h"

/// Why ReadFileBytes failed, `maxBytes` being the limit it was given.
std::string ReadFailureText(const ReadFileFailure& failure, size_t maxBytes);

/// Why WriteFileAtomically failed.
std::string WriteFailureText(const WriteFileFailure& failure);
