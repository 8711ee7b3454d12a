// windows.h first: shlobj.h relies on its definitions.
#include <windows.h>

#include <shlobj.h>

#include "config/settings.h"
#include "config/settings_location.h"
#include "config/temporary_file_name.h"
#include "config/wide_path_win32.h"

std::string PerUserSettingsFilePath() {
    const std::string folder = KnownFolderPath(FOLDERID_LocalAppData);
    return folder.empty() ? folder : folder + "\\Fumilink\\" + kSettingsFileName;
}

std::string MsiProgramFolder() {
    // The package's ProgramFiles64Folder: for a 64-bit process, as this program is,
    // FOLDERID_ProgramFiles is that folder.
    const std::string folder = KnownFolderPath(FOLDERID_ProgramFiles);
    return folder.empty() ? folder : folder + "\\Fumilink\\";
}

namespace {

/// The volume and file index of the folder `path`; false when it cannot be opened.
bool FolderIdentity(const std::string& path, BY_HANDLE_FILE_INFORMATION* info) {
    HANDLE folder = CreateFileW(WidePath(path).c_str(), FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (folder == INVALID_HANDLE_VALUE) {
        return false;
    }
    const bool known = GetFileInformationByHandle(folder, info) &&
                       (info->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    CloseHandle(folder);
    return known;
}

}  // namespace

bool IsSameFolder(const std::string& a, const std::string& b) {
    BY_HANDLE_FILE_INFORMATION first{};
    BY_HANDLE_FILE_INFORMATION second{};
    return FolderIdentity(a, &first) && FolderIdentity(b, &second) &&
           first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
           first.nFileIndexHigh == second.nFileIndexHigh &&
           first.nFileIndexLow == second.nFileIndexLow;
}

// Access rights on Windows are lists that only an attempt reads reliably (and Wine maps
// them from the Unix permissions): the file is opened for writing and closed unchanged.
// The read-only attribute refuses writing to everyone, administrators included (Wine lets
// root write all the same).
bool MayWriteFile(const std::string& path) {
    const std::wstring widePath = WidePath(path);
    const DWORD attributes = GetFileAttributesW(widePath.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        return false;
    }
    HANDLE file = CreateFileW(widePath.c_str(), FILE_WRITE_DATA,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        // Someone else holding it open says nothing about the user's rights.
        return GetLastError() == ERROR_SHARING_VIOLATION;
    }
    CloseHandle(file);
    return true;
}

// A file is created and deleted again. It bears a temporary file's name, so that one a
// killed process left behind is cleaned up by the next save of the settings file.
bool MayCreateFileIn(const std::string& folder) {
    const std::string probe =
        folder + TemporaryFileName(kSettingsFileName, GetCurrentProcessId(), UINT32_MAX);
    HANDLE file = CreateFileW(WidePath(probe).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return GetLastError() == ERROR_FILE_EXISTS;
    }
    CloseHandle(file);
    return true;
}
