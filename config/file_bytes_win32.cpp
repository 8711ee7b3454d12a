#include <windows.h>

#include "config/file_read_steps.h"
#include "config/wide_path_win32.h"

namespace {

StepOutcome LastFailure() {
    return {StepResult::Failed, static_cast<long>(GetLastError())};
}

HANDLE Handle(FileHandle file) {
    return reinterpret_cast<HANDLE>(file);
}

class Win32FileReadSteps final : public FileReadSteps {
public:
    // Sharing everything: an editor or the program's own save may have the file open.
    StepOutcome Open(const std::string& path, FileHandle* file) override {
        const std::wstring wide = WidePath(path);
        constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
        HANDLE handle = CreateFileW(wide.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
        DWORD code = handle == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
        const DWORD attributes = code == ERROR_ACCESS_DENIED ? GetFileAttributesW(wide.c_str())
                                                             : INVALID_FILE_ATTRIBUTES;
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            // A folder opens only with backup semantics; Inspect then names it a folder,
            // where "access denied" would send the user looking for missing rights.
            handle = CreateFileW(wide.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_BACKUP_SEMANTICS, nullptr);
            code = handle == INVALID_HANDLE_VALUE ? ERROR_ACCESS_DENIED : ERROR_SUCCESS;
        }
        if (handle == INVALID_HANDLE_VALUE) {
            if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) {
                return {StepResult::Missing, static_cast<long>(code)};
            }
            return {StepResult::Failed, static_cast<long>(code)};
        }
        *file = reinterpret_cast<FileHandle>(handle);
        return {};
    }

    // Only a file on a disk counts (not a pipe, CON, NUL or COM1); what the system cannot
    // describe counts as none.
    StepOutcome Inspect(FileHandle file, OpenFileKind* kind) override {
        using What = OpenFileKind::What;
        BY_HANDLE_FILE_INFORMATION info{};
        switch (GetFileType(Handle(file))) {
            case FILE_TYPE_DISK:
                if (!GetFileInformationByHandle(Handle(file), &info)) {
                    kind->what = What::Other;
                } else if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
                    kind->what = What::Folder;
                } else {
                    kind->what = What::Regular;
                }
                break;
            case FILE_TYPE_PIPE:
                kind->what = What::Pipe;
                break;
            case FILE_TYPE_CHAR:
                kind->what = What::Device;
                break;
            default:
                kind->what = What::Other;
                break;
        }
        kind->size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
        return {};
    }

    StepOutcome Read(FileHandle file, char* buffer, std::size_t capacity,
                     std::size_t* count) override {
        DWORD read = 0;
        if (!ReadFile(Handle(file), buffer, static_cast<DWORD>(capacity), &read, nullptr)) {
            return LastFailure();
        }
        *count = read;
        return {};
    }

    void Close(FileHandle file) override { CloseHandle(Handle(file)); }
};

}  // namespace

FileReadSteps& NativeFileReadSteps() {
    static Win32FileReadSteps steps;
    return steps;
}
