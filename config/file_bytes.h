#pragma once
// Reading a whole small file while telling "not there" from "there but unreadable": a
// missing settings file is normal, an unreadable one is an error the user must see.
// The sequence is file_bytes.cpp; file_bytes_posix.cpp and file_bytes_win32.cpp implement
// its steps (file_read_steps.h).

#include <cstddef>
#include <string>

#include "config/file_read_steps.h"

enum class ReadFileResult {
    Ok,       ///< bytes hold the whole file
    Missing,  ///< no file at that path
    Failed,   ///< the file exists (or may) but could not be read; error says why
};

/// Why ReadFileBytes failed, for callers that word the reason themselves.
struct ReadFileFailure {
    enum class Step {
        Open,        ///< the system refused to open it
        NotRegular,  ///< `what` says what is there instead
        TooLarge,    ///< more than the limit, before or while reading
        Read,        ///< the system refused to read it
    };
    Step step = Step::Open;
    OpenFileKind::What what = OpenFileKind::What::Other;
    long systemError = 0;  ///< errno or GetLastError(), for Open and Read
};

/// Reads the regular file at `path` into `*bytes`. Anything else at that path (a folder, a
/// named pipe, a device, a link to one of them) and a file of more than `maxBytes` bytes
/// are Failed, found out without reading it and without ever blocking. `*bytes` is empty
/// unless the result is Ok; `*error` and `*failure` (when not null) are filled on Failed.
ReadFileResult ReadFileBytes(const std::string& path, size_t maxBytes, std::string* bytes,
                             std::string* error, ReadFileFailure* failure = nullptr);

/// The same sequence taking the given steps (file_read_steps.h) in place of the system's.
ReadFileResult ReadFileBytes(const std::string& path, size_t maxBytes, std::string* bytes,
                             std::string* error, FileReadSteps& steps,
                             ReadFileFailure* failure = nullptr);
