#include "config/file_bytes.h"

#include "config/file_read_steps.h"
#include "config/system_error.h"

namespace {

ReadFileResult Fail(std::string* error, const std::string& what, const std::string& reason) {
    if (error != nullptr) {
        *error = what + ": " + reason;
    }
    return ReadFileResult::Failed;
}

std::string TooLarge(size_t maxBytes) {
    return "larger than " + std::to_string(maxBytes) + " bytes";
}

}  // namespace

ReadFileResult ReadFileBytes(const std::string& path, size_t maxBytes, std::string* bytes,
                             std::string* error, FileReadSteps& steps) {
    bytes->clear();
    FileHandle file = kNoFile;
    StepOutcome outcome = steps.Open(path, &file);
    if (outcome.result == StepResult::Missing) {
        return ReadFileResult::Missing;
    }
    if (!outcome.Done()) {
        return Fail(error, "cannot open " + path, DescribeSystemError(outcome.systemError));
    }
    OpenFileKind kind;
    outcome = steps.Inspect(file, &kind);
    if (!outcome.Done()) {
        steps.Close(file);
        return Fail(error, "cannot read " + path, DescribeSystemError(outcome.systemError));
    }
    if (!kind.regularFile) {
        steps.Close(file);
        return Fail(error, "cannot read " + path, "not a regular file");
    }
    if (kind.size > maxBytes) {
        steps.Close(file);
        return Fail(error, "cannot read " + path, TooLarge(maxBytes));
    }
    bytes->reserve(static_cast<size_t>(kind.size));
    char buffer[4096];
    for (;;) {
        size_t count = 0;
        outcome = steps.Read(file, buffer, sizeof buffer, &count);
        if (!outcome.Done()) {
            steps.Close(file);
            bytes->clear();
            return Fail(error, "cannot read " + path, DescribeSystemError(outcome.systemError));
        }
        if (count == 0) {
            break;
        }
        // The file may grow while it is read.
        if (bytes->size() + count > maxBytes) {
            steps.Close(file);
            bytes->clear();
            return Fail(error, "cannot read " + path, TooLarge(maxBytes));
        }
        bytes->append(buffer, count);
    }
    steps.Close(file);
    return ReadFileResult::Ok;
}

ReadFileResult ReadFileBytes(const std::string& path, size_t maxBytes, std::string* bytes,
                             std::string* error) {
    return ReadFileBytes(path, maxBytes, bytes, error, NativeFileReadSteps());
}
