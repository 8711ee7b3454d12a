#include "config/atomic_write.h"

#include <atomic>

#include "config/file_replace_steps.h"
#include "config/path_parts.h"
#include "config/system_error.h"
#include "config/temporary_file_name.h"

namespace {

std::atomic<uint32_t> temporaryCounter{0};

// Virus scanners, the search indexer and cloud-sync clients open a file for a moment
// right after it was written; putting it in its place fails meanwhile. About a second of
// retries outlasts them.
constexpr int kMoveAttempts = 11;
constexpr std::chrono::milliseconds kMovePause{100};

/// `step` (a replace, a rename, or the look whether one may succeed), repeated while the
/// file is busy or in use.
template <typename Step>
StepOutcome MoveWhenFree(FileReplaceSteps& steps, Step step) {
    const auto refusedForNow = [](const StepOutcome& outcome) {
        return outcome.result == StepResult::Busy || outcome.result == StepResult::InUse;
    };
    StepOutcome outcome = step();
    for (int attempt = 1; refusedForNow(outcome) && attempt < kMoveAttempts; ++attempt) {
        steps.Pause(kMovePause);
        outcome = step();
    }
    return outcome;
}

/// Where a failure is told: the English line for logs and tests, and the step for callers
/// that word it themselves.
struct Report {
    std::string* error;
    WriteFileFailure* failure;
};

bool Fail(const Report& report, WriteFileFailure::Step step, const std::string& what,
          const std::string& reason, long systemError = 0) {
    if (report.error != nullptr) {
        *report.error = what + ": " + reason;
    }
    if (report.failure != nullptr) {
        *report.failure = {step, systemError};
    }
    return false;
}

bool Fail(const Report& report, WriteFileFailure::Step step, const std::string& what,
          const StepOutcome& outcome) {
    return Fail(report, step, what, DescribeSystemError(outcome.systemError), outcome.systemError);
}

/// Temporary files that writers of `fileName` left behind when they were killed. A living
/// writer's file is left alone: it may be in the middle of its replace. Call it only while
/// the file itself exists: without it, a leftover may hold its only copy (see below).
void RemoveLeftovers(FileReplaceSteps& steps, const std::string& folder,
                     const std::string& fileName) {
    const uint32_t self = steps.ThisProcess();
    for (const std::string& name : steps.CandidateLeftovers(folder)) {
        const std::optional<uint32_t> writer = TemporaryFileWriter(name, fileName);
        if (writer && *writer != self && !steps.ProcessRuns(*writer)) {
            steps.Remove(folder + name);
        }
    }
}

/// The fallback where the file cannot be replaced but may be written (a folder the user
/// may not write to holding a file the user may; a file another program keeps open without
/// letting it be renamed): the file itself is rewritten. A crash in between can leave it
/// short; that beats never being able to save it.
StepOutcome RewriteInPlace(FileReplaceSteps& steps, const std::string& path,
                           std::string_view bytes) {
    FileHandle file = kNoFile;
    StepOutcome outcome = steps.OpenTruncated(path, &file);
    if (!outcome.Done()) {
        return outcome;
    }
    outcome = steps.Write(file, bytes);
    if (outcome.Done()) {
        outcome = steps.Flush(file);
    }
    const StepOutcome closed = steps.Close(file);
    return outcome.Done() ? closed : outcome;
}

bool WriteInPlace(FileReplaceSteps& steps, const std::string& path, std::string_view bytes,
                  const Report& report) {
    const StepOutcome outcome = RewriteInPlace(steps, path, bytes);
    return outcome.Done() ||
           Fail(report, WriteFileFailure::Step::Write, "cannot write " + path, outcome);
}

/// Creates a temporary file beside `target` that no other writer uses: unique per process
/// and call, and created only where no file of its name exists.
StepOutcome CreateTemporary(FileReplaceSteps& steps, const std::string& folder,
                            const std::string& fileName, std::string* temporary, FileHandle* file) {
    StepOutcome outcome{StepResult::Exists, 0};
    for (int attempt = 0; attempt < 100 && outcome.result == StepResult::Exists; ++attempt) {
        *temporary = folder + TemporaryFileName(fileName, steps.ThisProcess(),
                                                temporaryCounter.fetch_add(1));
        outcome = steps.CreateNew(*temporary, file);
    }
    return outcome;
}

}  // namespace

bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string* error,
                         FileReplaceSteps& steps, WriteFileFailure* failure) {
    using Step = WriteFileFailure::Step;
    const Report report{error, failure};
    if (path.empty()) {
        return Fail(report, Step::NoPath, "empty file name", "no file named");
    }
    // A link stays a link: what it points at is the file to replace.
    const std::optional<std::string> followed = steps.FollowLinks(path);
    if (!followed) {
        return Fail(report, Step::Resolve, "cannot resolve " + path, "a loop of links");
    }
    const std::string& target = *followed;
    const std::string folder = DirectoryPart(target, steps.Separators());
    const std::string fileName = FileNamePart(target, steps.Separators());
    const ExistingFile existing = steps.Inspect(target);
    if (existing.isFile) {
        RemoveLeftovers(steps, folder, fileName);
        // While another program keeps the file open without letting it be renamed, no
        // replace can succeed: nothing is created beside it for a try bound to fail.
        const StepOutcome held = MoveWhenFree(steps, [&] { return steps.MayReplace(target); });
        if (held.result == StepResult::InUse) {
            return WriteInPlace(steps, target, bytes, report);
        }
    }

    std::string temporary;
    FileHandle file = kNoFile;
    StepOutcome outcome = CreateTemporary(steps, folder, fileName, &temporary, &file);
    if (outcome.result == StepResult::Exists) {
        return Fail(report, Step::Create, "cannot create a temporary file beside " + target,
                    outcome);
    }
    if (outcome.result == StepResult::Denied && existing.isFile) {
        return WriteInPlace(steps, target, bytes, report);
    }
    if (!outcome.Done()) {
        return Fail(report, Step::Create, "cannot create " + temporary, outcome);
    }
    if (existing.isFile) {
        // The calling program may have made the file readable for others on purpose.
        steps.KeepProperties(file, existing);
    }
    outcome = steps.Write(file, bytes);
    if (outcome.Done()) {
        outcome = steps.Flush(file);
    }
    if (!outcome.Done()) {
        steps.Discard(file, temporary);
        return Fail(report, Step::Write, "cannot write " + temporary, outcome);
    }
    outcome = steps.Close(file);
    if (!outcome.Done()) {
        steps.Remove(temporary);
        return Fail(report, Step::Write, "cannot write " + temporary, outcome);
    }

    // Replacing keeps what the replaced file carried (on Windows its access rights and
    // creation time too). Where the replace itself fails, a plain rename is the next try:
    // after most failures both files are as they were, but after TargetGone the temporary
    // file holds the only copy, and the rename gives it its proper name. A file held open
    // against renaming refuses the rename just as well.
    const auto replace = [&] { return steps.Replace(temporary, target); };
    const auto rename = [&] { return steps.Rename(temporary, target); };
    outcome = existing.isFile ? MoveWhenFree(steps, replace) : MoveWhenFree(steps, rename);
    if (!outcome.Done() && existing.isFile && outcome.result != StepResult::InUse) {
        outcome = MoveWhenFree(steps, rename);
    }
    if (!outcome.Done()) {
        // Where a failed replace took the target away, the temporary file holds the only
        // copy: it stays, and the clean-up of leftovers spares it while the target is
        // missing.
        const bool targetThere = steps.Inspect(target).isFile;
        if (!existing.isFile || targetThere) {
            steps.Remove(temporary);
        }
        if (outcome.result == StepResult::InUse && targetThere) {
            return WriteInPlace(steps, target, bytes, report);
        }
        return Fail(report, Step::Replace, "cannot replace " + target, outcome);
    }
    steps.SyncFolder(folder);
    return true;
}

bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string* error,
                         WriteFileFailure* failure) {
    return WriteFileAtomically(path, bytes, error, NativeFileReplaceSteps(), failure);
}
