#pragma once
// Replacing a file so that a reader never sees it half written: the settings file and
// the transfer file both go through here. A crash or a full disk leaves either the old
// file or the new one, never a mixture (save in the in-place fallbacks described below).

#include <string>
#include <string_view>

class FileReplaceSteps;

/// Which step of WriteFileAtomically failed, for callers that word the reason themselves
/// (the English `error` names the temporary file, which the user never asked for).
struct WriteFileFailure {
    enum class Step {
        NoPath,   ///< the path is empty
        Resolve,  ///< its links lead round in a loop
        Create,   ///< no new file could be made in its folder
        Write,    ///< the new file (or the file itself, in place) could not be written
        Replace,  ///< the new file could not be put in the place of the old one
    };
    Step step = Step::Write;
    long systemError = 0;  ///< errno or GetLastError(); 0 where the system said nothing
};

/// Writes `bytes` to a temporary file in the folder of `path`, flushes it to the disk and
/// puts it in the place of `path`. On failure the temporary file is removed, an existing
/// file at `path` is left as it was, `*error` (when not null) receives a short description
/// with the system's reason (and `*failure` the step), and the result is false. An empty path or a
/// missing folder fails.
///
/// - A symbolic link at `path` stays: the file it points at is written.
/// - A replaced file keeps its permission bits (on Windows its attributes and access
///   rights) and, where the system lets us, its owner.
/// - Where no file can be created in the folder but the existing file may be written (a
///   folder the user may not write to), the file is rewritten in place instead: truncated,
///   written and flushed to the disk. Only then can a failure leave it half written.
/// - A file that is busy for a moment (a virus scanner, the indexer or a sync client has
///   it open) is put in its place again over about a second before the call gives up.
/// - A file that another program keeps open without letting it be replaced (Windows: the
///   calling program or an editor holding it without delete sharing) is rewritten in
///   place, as above, once that has lasted about a second; no temporary file is left.
/// - Where a failed replace has taken the old file away (Windows' ReplaceFile can), the
///   temporary file is renamed into its place; where even that fails, it stays as the
///   only copy.
/// - Temporary files that killed writers left beside an existing file (see
///   temporary_file_name.h) are removed; those of running processes are not, nor any while
///   the file itself is missing, as one of them may then be its only copy.
bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string* error,
                         WriteFileFailure* failure = nullptr);

/// The same sequence taking the given steps (file_replace_steps.h) in place of the system's.
bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string* error,
                         FileReplaceSteps& steps, WriteFileFailure* failure = nullptr);
