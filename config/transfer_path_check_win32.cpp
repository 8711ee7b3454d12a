#include <windows.h>

#include "config/transfer_path_check.h"
#include "config/wide_path_win32.h"

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

StepOutcome Refusal(DWORD code) {
    switch (code) {
        case ERROR_ACCESS_DENIED:
        case ERROR_WRITE_PROTECT:
            return {StepResult::Denied, static_cast<long>(code)};
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return {StepResult::InUse, static_cast<long>(code)};
        default:
            return {StepResult::Failed, static_cast<long>(code)};
    }
}

/// Opens `path` with `access` and closes it again at once; nothing is created or changed.
StepOutcome OpenAndClose(const std::string& path, DWORD access, DWORD flags) {
    HANDLE handle = CreateFileW(WidePath(path).c_str(), access, kShareAll, nullptr, OPEN_EXISTING,
                                flags, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return Refusal(GetLastError());
    }
    CloseHandle(handle);
    return {};
}

class Win32TransferPathSteps final : public TransferPathSteps {
public:
    std::string_view Separators() const override { return "\\/:"; }

    // Characters Windows refuses in file names. '?' and '*' stay out of the list: "\\?\"
    // begins a long path, and the system says what it makes of any other.
    std::string_view ForbiddenCharacters() const override { return "\"<>|"; }

    PathKind KindOf(const std::string& path, long* systemError) override {
        // A folder written with its separator ("C:\out\") is asked for without it, so that a
        // file of that name is told apart from a missing folder; "C:\" and "C:" stay.
        std::string name = path;
        if (name.size() > 1 && (name.back() == '\\' || name.back() == '/') &&
            name[name.size() - 2] != ':') {
            name.pop_back();
        }
        const DWORD attributes = GetFileAttributesW(WidePath(name).c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            const DWORD code = GetLastError();
            if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) {
                return PathKind::Missing;
            }
            *systemError = static_cast<long>(code);
            return PathKind::Unreachable;
        }
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            return PathKind::Folder;
        }
        return (attributes & FILE_ATTRIBUTE_DEVICE) != 0 ? PathKind::Other : PathKind::File;
    }

    // FILE_ADD_FILE is the right to create a file in a folder; a folder opens only with
    // FILE_FLAG_BACKUP_SEMANTICS. The system checks the right when the handle is opened.
    StepOutcome MayCreateIn(const std::string& folder) override {
        return OpenAndClose(folder.empty() ? "." : folder, FILE_ADD_FILE,
                            FILE_FLAG_BACKUP_SEMANTICS);
    }

    // GENERIC_WRITE on the existing file (OPEN_EXISTING: it is neither created nor emptied)
    // fails for a read-only file and where the user has no right to write it.
    StepOutcome MayWrite(const std::string& path) override {
        return OpenAndClose(path, GENERIC_WRITE, FILE_ATTRIBUTE_NORMAL);
    }

    bool FolderRightsReplaceAnyFile() const override { return false; }
};

}  // namespace

TransferPathSteps& NativeTransferPathSteps() {
    static Win32TransferPathSteps steps;
    return steps;
}
