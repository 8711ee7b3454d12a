#include "config/file_bytes.h"

#include "config/file_read_steps.h"
#include "config/system_error.h"

namespace {

std::string KindWords(OpenFileKind::What what) {
    switch (what) {
        case OpenFileKind::What::Folder:
            return "a folder, not a file";
        case OpenFileKind::What::Pipe:
            return "a named pipe, not a file";
        case OpenFileKind::What::Device:
            return "a device, not a file";
        case OpenFileKind::What::Regular:
        case OpenFileKind::What::Other:
            break;
    }
    return "not a regular file";
}

class Failing {
public:
    Failing(const std::string& path, size_t maxBytes, std::string* error, ReadFileFailure* failure)
        : path_(path), maxBytes_(maxBytes), error_(error), failure_(failure) {}

    ReadFileResult Fail(ReadFileFailure::Step step, long systemError,
                        OpenFileKind::What what = OpenFileKind::What::Other) {
        if (failure_ != nullptr) {
            *failure_ = {step, what, systemError};
        }
        if (error_ != nullptr) {
            switch (step) {
                case ReadFileFailure::Step::Open:
                    *error_ = "cannot open " + path_ + ": " + DescribeSystemError(systemError);
                    break;
                case ReadFileFailure::Step::NotRegular:
                    *error_ = "cannot read " + path_ + ": " + KindWords(what);
                    break;
                case ReadFileFailure::Step::TooLarge:
                    *error_ = "cannot read " + path_ + ": larger than " +
                              std::to_string(maxBytes_) + " bytes";
                    break;
                case ReadFileFailure::Step::Read:
                    *error_ = "cannot read " + path_ + ": " + DescribeSystemError(systemError);
                    break;
            }
        }
        return ReadFileResult::Failed;
    }

private:
    const std::string& path_;
    size_t maxBytes_;
    std::string* error_;
    ReadFileFailure* failure_;
};

}  // namespace

ReadFileResult ReadFileBytes(const std::string& path, size_t maxBytes, std::string* bytes,
                             std::string* error, FileReadSteps& steps, ReadFileFailure* failure) {
    using Step = ReadFileFailure::Step;
    Failing failing(path, maxBytes, error, failure);
    bytes->clear();
    FileHandle file = kNoFile;
    StepOutcome outcome = steps.Open(path, &file);
    if (outcome.result == StepResult::Missing) {
        return ReadFileResult::Missing;
    }
    if (!outcome.Done()) {
        return failing.Fail(Step::Open, outcome.systemError);
    }
    OpenFileKind kind;
    outcome = steps.Inspect(file, &kind);
    if (!outcome.Done()) {
        steps.Close(file);
        return failing.Fail(Step::Read, outcome.systemError);
    }
    if (!kind.RegularFile()) {
        steps.Close(file);
        return failing.Fail(Step::NotRegular, 0, kind.what);
    }
    if (kind.size > maxBytes) {
        steps.Close(file);
        return failing.Fail(Step::TooLarge, 0);
    }
    bytes->reserve(static_cast<size_t>(kind.size));
    char buffer[4096];
    for (;;) {
        size_t count = 0;
        outcome = steps.Read(file, buffer, sizeof buffer, &count);
        if (!outcome.Done()) {
            steps.Close(file);
            bytes->clear();
            return failing.Fail(Step::Read, outcome.systemError);
        }
        if (count == 0) {
            break;
        }
        // The file may grow while it is read.
        if (bytes->size() + count > maxBytes) {
            steps.Close(file);
            bytes->clear();
            return failing.Fail(Step::TooLarge, 0);
        }
        bytes->append(buffer, count);
    }
    steps.Close(file);
    return ReadFileResult::Ok;
}

ReadFileResult ReadFileBytes(const std::string& path, size_t maxBytes, std::string* bytes,
                             std::string* error, ReadFileFailure* failure) {
    return ReadFileBytes(path, maxBytes, bytes, error, NativeFileReadSteps(), failure);
}
