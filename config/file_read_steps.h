#pragma once
// The steps of reading a whole small file that each operating system takes its own way.
// The sequence (file_bytes.cpp) with its checks is the same everywhere; file_bytes_posix.cpp
// and file_bytes_win32.cpp implement the steps. Tests hand the sequence steps of their own
// to show what the system does only now and then (a file that grows while it is read).

#include <cstddef>
#include <cstdint>
#include <string>

#include "config/step_outcome.h"

/// What an open file is. Only a regular file on a disk has a size to trust: a pipe or a
/// device such as /dev/zero, CON or COM1 may never end, or block.
struct OpenFileKind {
    enum class What {
        Regular,
        Folder,
        Pipe,    ///< a named pipe (FIFO) or a socket
        Device,  ///< a character or block device (/dev/zero, CON, COM1)
        Other,   ///< what the system cannot describe
    };
    What what = What::Other;
    std::uint64_t size = 0;  ///< bytes, when a regular file

    bool RegularFile() const { return what == What::Regular; }
};

/// The system calls of ReadFileBytes. Paths are in the platform's file name form: the
/// system's bytes on POSIX, UTF-8 on Windows.
class FileReadSteps {
public:
    virtual ~FileReadSteps() = default;

    /// Opens `path` for reading without ever waiting (a named pipe without a writer, for
    /// one). Missing when no file is there.
    virtual StepOutcome Open(const std::string& path, FileHandle* file) = 0;
    /// What the open file is; Failed when the system cannot tell.
    virtual StepOutcome Inspect(FileHandle file, OpenFileKind* kind) = 0;
    /// Reads up to `capacity` bytes; `*count` is 0 at the end of the file.
    virtual StepOutcome Read(FileHandle file, char* buffer, std::size_t capacity,
                             std::size_t* count) = 0;
    virtual void Close(FileHandle file) = 0;
};

/// The steps of this operating system.
FileReadSteps& NativeFileReadSteps();
