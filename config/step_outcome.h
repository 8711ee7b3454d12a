#pragma once
// How one file-system step of ours ended: the safe replace (file_replace_steps.h), the
// reading of a whole file (file_read_steps.h) and the creation of folders
// (folder_steps.h) each string such steps together once, the same on every system.

#include <cstdint>

/// How one step ended.
enum class StepResult {
    Done,
    Missing,  ///< opening: no file of that name
    Exists,   ///< creating: a file or folder of that name is there already
    Denied,   ///< creating: the user may not create files in that folder
    Busy,     ///< someone has the file open for a moment (a scanner, the indexer): try again
    /// Another program holds the file open and lets nobody delete or rename it (a
    /// sharing violation): try again, as for Busy. Where that lasts (the calling program,
    /// an editor, a sync client keeps it open), the file may still be written in place.
    InUse,
    TargetGone,  ///< replacing: the replaced file is gone, but the new one is not in its place
    Failed,      ///< anything else
};

struct StepOutcome {
    StepResult result = StepResult::Done;
    long systemError = 0;  ///< errno or GetLastError() of a failure, 0 when done

    bool Done() const { return result == StepResult::Done; }
};

/// An open file: a file descriptor or a HANDLE.
using FileHandle = std::intptr_t;
inline constexpr FileHandle kNoFile = -1;
