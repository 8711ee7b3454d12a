#pragma once
// Steps of the safe replace that do what the system's do, except where a test makes one
// of them fail the way the system does only now and then.

#include <functional>

#include "config/file_replace_steps.h"

class ForwardingFileReplaceSteps : public FileReplaceSteps {
public:
    using Move = std::function<StepOutcome(const std::string&, const std::string&)>;

    /// Replace and Rename run these when set (the system's step otherwise); so do
    /// MayReplace and Pause.
    Move replace;
    Move rename;
    std::function<StepOutcome(const std::string&)> mayReplace;
    /// Write runs this when set.
    std::function<StepOutcome(FileHandle, std::string_view)> write;
    std::function<void()> pause;
    /// The process id this "process" writes under (the real one when 0). With another id
    /// the real process counts as ended, as the writer before a new start has.
    std::uint32_t processId = 0;

    int pauses = 0;                       ///< calls of Pause
    std::chrono::milliseconds paused{0};  ///< their durations added up

    std::string_view Separators() const override { return system_.Separators(); }
    std::optional<std::string> FollowLinks(const std::string& path) override {
        return system_.FollowLinks(path);
    }
    std::vector<std::string> CandidateLeftovers(const std::string& folder) override {
        return system_.CandidateLeftovers(folder);
    }
    std::uint32_t ThisProcess() override {
        return processId != 0 ? processId : system_.ThisProcess();
    }
    bool ProcessRuns(std::uint32_t id) override {
        return (processId == 0 || id != system_.ThisProcess()) && system_.ProcessRuns(id);
    }
    ExistingFile Inspect(const std::string& path) override { return system_.Inspect(path); }
    StepOutcome MayReplace(const std::string& target) override {
        return mayReplace ? mayReplace(target) : system_.MayReplace(target);
    }
    StepOutcome CreateNew(const std::string& path, FileHandle* file) override {
        return system_.CreateNew(path, file);
    }
    StepOutcome OpenTruncated(const std::string& path, FileHandle* file) override {
        return system_.OpenTruncated(path, file);
    }
    void KeepProperties(FileHandle file, const ExistingFile& replaced) override {
        system_.KeepProperties(file, replaced);
    }
    StepOutcome Write(FileHandle file, std::string_view bytes) override {
        return write ? write(file, bytes) : system_.Write(file, bytes);
    }
    StepOutcome Flush(FileHandle file) override { return system_.Flush(file); }
    StepOutcome Close(FileHandle file) override { return system_.Close(file); }
    void Discard(FileHandle file, const std::string& path) override { system_.Discard(file, path); }
    StepOutcome Replace(const std::string& temporary, const std::string& target) override {
        return replace ? replace(temporary, target) : system_.Replace(temporary, target);
    }
    StepOutcome Rename(const std::string& temporary, const std::string& target) override {
        return rename ? rename(temporary, target) : system_.Rename(temporary, target);
    }
    void Remove(const std::string& path) override { system_.Remove(path); }
    void SyncFolder(const std::string& folder) override { system_.SyncFolder(folder); }
    void Pause(std::chrono::milliseconds duration) override {
        ++pauses;
        paused += duration;
        if (pause) {
            pause();
        }
    }

private:
    FileReplaceSteps& system_ = NativeFileReplaceSteps();
};
