#include <windows.h>

#include <atomic>
#include <optional>

#include "config/atomic_write.h"
#include "config/executable_path.h"
#include "config/temporary_file_name.h"

namespace {

std::atomic<uint32_t> temporaryCounter{0};

bool Fail(std::string* error, const std::string& what, DWORD errorCode) {
    if (error != nullptr) {
        *error = what + ": system error " + std::to_string(errorCode);
    }
    return false;
}

bool WriteAll(HANDLE file, std::string_view bytes) {
    while (!bytes.empty()) {
        DWORD chunk = bytes.size() > 0x10000000u ? 0x10000000u : static_cast<DWORD>(bytes.size());
        DWORD written = 0;
        if (!WriteFile(file, bytes.data(), chunk, &written, nullptr) || written == 0) {
            return false;
        }
        bytes.remove_prefix(written);
    }
    return true;
}

/// The file `path` finally names when it is a symbolic link (or a junction on the way);
/// `path` itself otherwise, and for a link that points at nothing.
std::string FollowLinks(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
        return path;
    }
    HANDLE file =
        CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return path;
    }
    char buffer[MAX_PATH + 16];
    const DWORD length = GetFinalPathNameByHandleA(file, buffer, sizeof buffer,
                                                   FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    CloseHandle(file);
    if (length == 0 || length >= sizeof buffer) {
        return path;
    }
    // The answer is "\\?\C:\..." or "\\?\UNC\server\share\..."; the ANSI functions below
    // want the ordinary forms.
    std::string target(buffer, length);
    if (target.rfind("\\\\?\\UNC\\", 0) == 0) {
        return "\\\\" + target.substr(8);
    }
    if (target.rfind("\\\\?\\", 0) == 0) {
        return target.substr(4);
    }
    return target;
}

bool ProcessRuns(uint32_t pid) {
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (process == nullptr) {
        // No such process; any other refusal (access denied) means it is there.
        return GetLastError() != ERROR_INVALID_PARAMETER;
    }
    DWORD code = 0;
    const bool running = GetExitCodeProcess(process, &code) && code == STILL_ACTIVE;
    CloseHandle(process);
    return running;
}

/// Temporary files that writers of `fileName` left behind when they were killed. A living
/// writer's file is left alone: it may be in the middle of its replace.
void RemoveLeftovers(const std::string& folder, const std::string& fileName) {
    WIN32_FIND_DATAA found{};
    HANDLE search = FindFirstFileA((folder + "*.tmp-*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return;
    }
    const uint32_t self = GetCurrentProcessId();
    do {
        const std::optional<uint32_t> writer = TemporaryFileWriter(found.cFileName, fileName);
        if (writer && *writer != self && !ProcessRuns(*writer)) {
            DeleteFileA((folder + found.cFileName).c_str());
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

/// The fallback where no file can be created beside the target (a folder the user may
/// not write to, holding a file the user may): the file itself is rewritten. A crash in
/// between can leave it short; that beats never being able to save it.
bool WriteInPlace(const std::string& path, std::string_view bytes, std::string* error) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return Fail(error, "cannot write " + path, GetLastError());
    }
    if (!WriteAll(file, bytes) || !FlushFileBuffers(file)) {
        const DWORD saved = GetLastError();
        CloseHandle(file);
        return Fail(error, "cannot write " + path, saved);
    }
    if (!CloseHandle(file)) {
        return Fail(error, "cannot write " + path, GetLastError());
    }
    return true;
}

/// Puts the written temporary file in the target's place. ReplaceFile keeps what the
/// replaced file carried (attributes, access rights, creation time); a rename does not.
bool Replace(const std::string& temporary, const std::string& target, bool replacing) {
    if (replacing) {
        if (ReplaceFileA(target.c_str(), temporary.c_str(), nullptr,
                         REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) {
            return true;
        }
        // Other failures (a file system without ReplaceFile among them) leave both files
        // as they were; after this one the target is gone and only the rename is left.
        // Either way the plain rename below is the next try.
    }
    return MoveFileExA(temporary.c_str(), target.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

}  // namespace

bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string* error) {
    if (path.empty()) {
        return Fail(error, "empty file name", ERROR_INVALID_NAME);
    }
    // A link stays a link: what it points at is the file to replace.
    const std::string target = FollowLinks(path);
    const std::string folder = DirectoryPart(target, PathSeparators());
    const std::string fileName = FileNamePart(target, PathSeparators());
    RemoveLeftovers(folder, fileName);

    const DWORD attributes = GetFileAttributesA(target.c_str());
    const bool replacing =
        attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;

    std::string temporary;
    HANDLE file = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 100 && file == INVALID_HANDLE_VALUE; ++attempt) {
        temporary = folder + TemporaryFileName(fileName, GetCurrentProcessId(),
                                               temporaryCounter.fetch_add(1));
        file = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) {
            const DWORD saved = GetLastError();
            if (replacing && saved == ERROR_ACCESS_DENIED) {
                return WriteInPlace(target, bytes, error);
            }
            return Fail(error, "cannot create " + temporary, saved);
        }
    }
    if (file == INVALID_HANDLE_VALUE) {
        return Fail(error, "cannot create a temporary file beside " + target, ERROR_FILE_EXISTS);
    }
    if (!WriteAll(file, bytes) || !FlushFileBuffers(file)) {
        DWORD saved = GetLastError();
        CloseHandle(file);
        DeleteFileA(temporary.c_str());
        return Fail(error, "cannot write " + temporary, saved);
    }
    if (!CloseHandle(file)) {
        DWORD saved = GetLastError();
        DeleteFileA(temporary.c_str());
        return Fail(error, "cannot write " + temporary, saved);
    }
    if (replacing) {
        // The plain rename, the fallback of Replace, would lose these.
        SetFileAttributesA(
            temporary.c_str(),
            attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                          FILE_ATTRIBUTE_NOT_CONTENT_INDEXED));
    }
    if (!Replace(temporary, target, replacing)) {
        DWORD saved = GetLastError();
        // Where a failed ReplaceFile took the target away, the temporary file holds the
        // only copy: it stays.
        if (!replacing || GetFileAttributesA(target.c_str()) != INVALID_FILE_ATTRIBUTES) {
            DeleteFileA(temporary.c_str());
        }
        return Fail(error, "cannot replace " + target, saved);
    }
    return true;
}
