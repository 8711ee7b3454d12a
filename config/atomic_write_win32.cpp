#include <windows.h>

#include <vector>

#include "config/file_replace_steps.h"
#include "config/move_failure_win32.h"
#include "config/path_parts.h"
#include "config/wide_path_win32.h"

namespace {

StepOutcome Done() {
    return {};
}

StepOutcome Failure(DWORD code) {
    return {StepResult::Failed, static_cast<long>(code)};
}

StepOutcome LastFailure() {
    return Failure(GetLastError());
}

StepOutcome MoveFailure() {
    return MoveFailureOutcome(GetLastError());
}

}  // namespace

/// A failed replace or rename. Someone holding either file open without delete sharing
/// gives a sharing violation: a scanner for a moment, the calling program or an editor for
/// as long as it has the file open. ReplaceFile reports the same as "unable to remove the
/// replaced file" (both files keep their names, so trying again is safe). Access denied
/// comes while a delete is pending, and a lock violation while a range is locked.
StepOutcome MoveFailureOutcome(unsigned long code) {
    switch (code) {
        case ERROR_SHARING_VIOLATION:
        case ERROR_UNABLE_TO_REMOVE_REPLACED:
            return {StepResult::InUse, static_cast<long>(code)};
        case ERROR_LOCK_VIOLATION:
        case ERROR_ACCESS_DENIED:
            return {StepResult::Busy, static_cast<long>(code)};
        // The replaced file is gone, the new one still under its temporary name; the
        // sequence renames it into place. After ERROR_UNABLE_TO_MOVE_REPLACEMENT_2 the
        // new file has already taken over the replaced file's attributes and streams,
        // and the old content lives on under a name ReplaceFile chose (without a backup
        // name it does not say which): that file is Windows', we cannot know it and
        // leave it; nothing of the new content is lost.
        case ERROR_UNABLE_TO_MOVE_REPLACEMENT:
        case ERROR_UNABLE_TO_MOVE_REPLACEMENT_2:
            return {StepResult::TargetGone, static_cast<long>(code)};
        default:
            return Failure(code);
    }
}

namespace {

HANDLE Handle(FileHandle file) {
    return reinterpret_cast<HANDLE>(file);
}

// Attributes a plain rename would lose; ReplaceFile keeps them by itself.
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                  FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

class Win32FileReplaceSteps final : public FileReplaceSteps {
public:
    std::string_view Separators() const override { return PathSeparators(); }

    // Junctions on the way count as links too. A link that points at nothing is taken as
    // it is.
    std::optional<std::string> FollowLinks(const std::string& path) override {
        const std::wstring widePath = WidePath(path);
        const DWORD attributes = GetFileAttributesW(widePath.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES ||
            (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
            return path;
        }
        HANDLE file =
            CreateFileW(widePath.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            return path;
        }
        // Paths of up to 32767 characters, the most the wide functions take.
        std::vector<wchar_t> buffer(32768);
        const DWORD length =
            GetFinalPathNameByHandleW(file, buffer.data(), static_cast<DWORD>(buffer.size()),
                                      FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        CloseHandle(file);
        if (length == 0 || length >= buffer.size()) {
            return path;
        }
        return PathFromSystem(std::wstring_view(buffer.data(), length));
    }

    std::vector<std::string> CandidateLeftovers(const std::string& folder) override {
        std::vector<std::string> names;
        WIN32_FIND_DATAW found{};
        HANDLE search = FindFirstFileW(WidePath(folder + "*.tmp-*").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) {
            return names;
        }
        do {
            names.push_back(Utf16ToUtf8(found.cFileName));
        } while (FindNextFileW(search, &found));
        FindClose(search);
        return names;
    }

    std::uint32_t ThisProcess() override { return GetCurrentProcessId(); }

    bool ProcessRuns(std::uint32_t id) override {
        HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id);
        if (process == nullptr) {
            // No such process; any other refusal (access denied) means it is there.
            return GetLastError() != ERROR_INVALID_PARAMETER;
        }
        DWORD code = 0;
        const bool running = GetExitCodeProcess(process, &code) && code == STILL_ACTIVE;
        CloseHandle(process);
        return running;
    }

    ExistingFile Inspect(const std::string& path) override {
        const DWORD attributes = GetFileAttributesW(WidePath(path).c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            return {};
        }
        return {true, attributes, 0, 0};
    }

    // Another handle that refuses delete sharing refuses every open for DELETE with a
    // sharing violation, and every replace and rename needs one. Asking first spares the
    // futile tries (Wine's ReplaceFileW also leaves an empty "rf*.tmp" of its own after
    // each one refused so). The look holds the file for an instant and shares everything.
    StepOutcome MayReplace(const std::string& target) override {
        HANDLE probe = CreateFileW(WidePath(target).c_str(), DELETE,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (probe != INVALID_HANDLE_VALUE) {
            CloseHandle(probe);
            return Done();
        }
        const DWORD code = GetLastError();
        return code == ERROR_SHARING_VIOLATION
                   ? StepOutcome{StepResult::InUse, static_cast<long>(code)}
                   : Done();
    }

    // The creator of a file is granted the access it asks for at creation, whatever the
    // folder's rights say about deleting: with DELETE the handle can remove the file again
    // (Discard) in a folder that lets the user create files but not delete them.
    StepOutcome CreateNew(const std::string& path, FileHandle* file) override {
        HANDLE handle = CreateFileW(WidePath(path).c_str(), GENERIC_WRITE | DELETE, 0, nullptr,
                                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle != INVALID_HANDLE_VALUE) {
            *file = reinterpret_cast<FileHandle>(handle);
            return Done();
        }
        const DWORD code = GetLastError();
        if (code == ERROR_FILE_EXISTS) {
            return {StepResult::Exists, static_cast<long>(code)};
        }
        if (code == ERROR_ACCESS_DENIED) {
            return {StepResult::Denied, static_cast<long>(code)};
        }
        return Failure(code);
    }

    StepOutcome OpenTruncated(const std::string& path, FileHandle* file) override {
        // Sharing writing: this is how a file is written that its holder (the calling
        // program) keeps open for reading and writing itself.
        HANDLE handle =
            CreateFileW(WidePath(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                        nullptr, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            return LastFailure();
        }
        *file = reinterpret_cast<FileHandle>(handle);
        return Done();
    }

    // The plain rename, the fallback of Replace, would lose these attributes.
    void KeepProperties(FileHandle file, const ExistingFile& replaced) override {
        const DWORD attributes = replaced.mode & kKeptAttributes;
        if (attributes == 0) {
            return;
        }
        FILE_BASIC_INFO info{};
        info.FileAttributes = attributes;
        SetFileInformationByHandle(Handle(file), FileBasicInfo, &info, sizeof info);
    }

    StepOutcome Write(FileHandle file, std::string_view bytes) override {
        while (!bytes.empty()) {
            const DWORD chunk =
                bytes.size() > 0x10000000u ? 0x10000000u : static_cast<DWORD>(bytes.size());
            DWORD written = 0;
            if (!WriteFile(Handle(file), bytes.data(), chunk, &written, nullptr)) {
                return LastFailure();
            }
            if (written == 0) {
                return Failure(ERROR_WRITE_FAULT);
            }
            bytes.remove_prefix(written);
        }
        return Done();
    }

    StepOutcome Flush(FileHandle file) override {
        return FlushFileBuffers(Handle(file)) ? Done() : LastFailure();
    }

    StepOutcome Close(FileHandle file) override {
        return CloseHandle(Handle(file)) ? Done() : LastFailure();
    }

    void Discard(FileHandle file, const std::string& path) override {
        FILE_DISPOSITION_INFO dispose{TRUE};
        const bool marked =
            SetFileInformationByHandle(Handle(file), FileDispositionInfo, &dispose, sizeof dispose);
        CloseHandle(Handle(file));
        if (!marked) {
            DeleteFileW(WidePath(path).c_str());
        }
    }

    // ReplaceFile keeps what the replaced file carried (attributes, access rights,
    // creation time); a rename does not.
    StepOutcome Replace(const std::string& temporary, const std::string& target) override {
        if (ReplaceFileW(WidePath(target).c_str(), WidePath(temporary).c_str(), nullptr,
                         REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) {
            return Done();
        }
        return MoveFailure();
    }

    StepOutcome Rename(const std::string& temporary, const std::string& target) override {
        if (MoveFileExW(WidePath(temporary).c_str(), WidePath(target).c_str(),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            return Done();
        }
        return MoveFailure();
    }

    void Remove(const std::string& path) override { DeleteFileW(WidePath(path).c_str()); }

    // MOVEFILE_WRITE_THROUGH has brought the rename to the disk already.
    void SyncFolder(const std::string&) override {}

    void Pause(std::chrono::milliseconds duration) override {
        Sleep(static_cast<DWORD>(duration.count()));
    }
};

}  // namespace

FileReplaceSteps& NativeFileReplaceSteps() {
    static Win32FileReplaceSteps steps;
    return steps;
}
