#pragma once
// The steps of the safe replace that each operating system takes its own way. The sequence
// that strings them together (atomic_write.cpp) is the same everywhere; atomic_write_posix.cpp
// and atomic_write_win32.cpp implement the steps. Tests hand the sequence steps of their own
// to make a step fail the way a system does only now and then.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "config/step_outcome.h"

/// What stands at the target before it is replaced, and what of it the new file keeps.
struct ExistingFile {
    bool isFile = false;      ///< a regular file (replaced), not nothing or a folder (created)
    std::uint32_t mode = 0;   ///< POSIX permission bits; Windows attributes
    std::uint32_t owner = 0;  ///< POSIX user id; unused on Windows
    std::uint32_t group = 0;  ///< POSIX group id; unused on Windows
};

/// The system calls of the safe replace. Paths are in the platform's file name form: the
/// system's bytes on POSIX, UTF-8 on Windows. A folder is empty or ends with a separator.
class FileReplaceSteps {
public:
    virtual ~FileReplaceSteps() = default;

    /// Characters that end a folder name.
    virtual std::string_view Separators() const = 0;
    /// The file `path` finally names with symbolic links followed (also a last link that
    /// points at nothing yet); nothing for a loop of links.
    virtual std::optional<std::string> FollowLinks(const std::string& path) = 0;
    /// Names in `folder` that may be temporary files (more are harmless; none when it
    /// cannot be read).
    virtual std::vector<std::string> CandidateLeftovers(const std::string& folder) = 0;
    virtual std::uint32_t ThisProcess() = 0;
    /// True while process `id` runs, also under another user.
    virtual bool ProcessRuns(std::uint32_t id) = 0;
    virtual ExistingFile Inspect(const std::string& path) = 0;
    /// InUse while another program holds the existing file `target` open so that no
    /// replace or rename can succeed; otherwise Done (what else may refuse the replace,
    /// the replace itself tells). Changes nothing, never blocks.
    virtual StepOutcome MayReplace(const std::string& target) = 0;

    /// Creates `path`, which must not exist, for writing.
    virtual StepOutcome CreateNew(const std::string& path, FileHandle* file) = 0;
    /// Opens the existing file `path` for writing, emptied, alongside any other program
    /// that has it open and shares writing.
    virtual StepOutcome OpenTruncated(const std::string& path, FileHandle* file) = 0;
    /// Gives a new file what the file it is about to replace carries (owner and permission
    /// bits; attributes); best effort.
    virtual void KeepProperties(FileHandle file, const ExistingFile& replaced) = 0;
    virtual StepOutcome Write(FileHandle file, std::string_view bytes) = 0;
    /// Makes the written bytes reach the disk.
    virtual StepOutcome Flush(FileHandle file) = 0;
    virtual StepOutcome Close(FileHandle file) = 0;
    /// Closes the new file `file`, created as `path`, and removes it: through the handle
    /// where the system can, so a folder that lets the user create files but not delete
    /// them keeps nothing either.
    virtual void Discard(FileHandle file, const std::string& path) = 0;

    /// Puts `temporary` in the place of the existing file `target`, keeping what the
    /// replaced file carries where the system can.
    virtual StepOutcome Replace(const std::string& temporary, const std::string& target) = 0;
    /// Renames `temporary` to `target`, replacing a file there.
    virtual StepOutcome Rename(const std::string& temporary, const std::string& target) = 0;
    virtual void Remove(const std::string& path) = 0;
    /// Makes a rename in `folder` reach the disk; best effort.
    virtual void SyncFolder(const std::string& folder) = 0;
    virtual void Pause(std::chrono::milliseconds duration) = 0;
};

/// The steps of this operating system.
FileReplaceSteps& NativeFileReplaceSteps();
