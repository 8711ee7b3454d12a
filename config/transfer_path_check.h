#pragma once
// Whether the transfer file can be written where the calling program asked for it, looked at
// when the program starts: a wrong path is then said at once, not only after the
// measurement. The look creates nothing (no test file) and costs a few system calls. The
// sequence is the same everywhere (transfer_path_check.cpp); each system answers its
// questions its own way (transfer_path_check_posix.cpp, transfer_path_check_win32.cpp), and
// tests hand the sequence answers of their own.

#include <string>
#include <string_view>

#include "config/atomic_write.h"
#include "config/step_outcome.h"

/// What stands at a path.
enum class PathKind {
    Missing,      ///< nothing; the folders above it may be missing too
    File,         ///< a regular file (links followed)
    Folder,       ///< a folder
    Other,        ///< a device, a pipe or the like
    Unreachable,  ///< the system would not say (no right to look, an invalid name, ...)
};

/// The questions the look asks the system. Paths are in the platform's file name form: the
/// system's bytes on POSIX, UTF-8 on Windows. None of them creates or changes anything.
class TransferPathSteps {
public:
    virtual ~TransferPathSteps() = default;

    /// Characters that end a folder name.
    virtual std::string_view Separators() const = 0;
    /// Characters no path of this system can hold (Windows: '"' and a few more; POSIX none).
    virtual std::string_view ForbiddenCharacters() const = 0;
    /// What stands at `path` (a folder may be written with a separator at its end);
    /// `systemError` receives the reason of Unreachable.
    virtual PathKind KindOf(const std::string& path, long* systemError) = 0;
    /// Done when the user may create a file in the existing `folder` (empty: the current
    /// one); otherwise Denied or Failed with the reason.
    virtual StepOutcome MayCreateIn(const std::string& folder) = 0;
    /// Done when the user may write the existing file `path`; InUse while another program
    /// holds it so that nobody may (it may have let go by the take-over); otherwise Denied
    /// or Failed with the reason.
    virtual StepOutcome MayWrite(const std::string& path) = 0;
    /// True where a file the user may not write is still replaced through a folder the user
    /// may create files in (POSIX: a rename replaces it); false where the file's own rights
    /// decide (Windows: ReplaceFile and MoveFileEx refuse a read-only file).
    virtual bool FolderRightsReplaceAnyFile() const = 0;
};

/// The first line of the message box that tells of a transfer path that cannot be written.
inline constexpr const char* kTransferPathProblemText =
    "Die Übergabedatei kann nicht geschrieben werden";

/// Why the transfer file cannot be written at `path`, in German for the message box (UTF-8),
/// as the safe replace (atomic_write.h) would fail on it now: no path (one or two
/// arguments), a character the system refuses (the '"' that `"C:\out\"` leaves), a path
/// that names a folder, a folder that is missing or no folder, a folder the user may not
/// create the file in, an existing file that can be neither replaced nor written. Empty
/// when nothing stands in the way.
std::string TransferPathProblem(const std::string& path);

/// The same look taking the given steps in place of the system's.
std::string TransferPathProblem(const std::string& path, TransferPathSteps& steps);

/// Why writing the transfer file at `path` failed, as one German sentence for the box:
/// what the look above finds now, when it finds anything; otherwise the step that failed,
/// with the system's words in parentheses (never the temporary file's name).
std::string TransferWriteProblem(const std::string& path, const WriteFileFailure& failure,
                                 TransferPathSteps& steps);
std::string TransferWriteProblem(const std::string& path, const WriteFileFailure& failure);

/// The steps of this operating system.
TransferPathSteps& NativeTransferPathSteps();
