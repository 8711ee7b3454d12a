#include "config/settings_location.h"

#include <vector>

#include "config/atomic_write.h"
#include "config/executable_path.h"
#include "config/file_bytes.h"
#include "config/make_folders.h"
#include "config/path_parts.h"
#include "config/settings.h"

namespace {

/// Makes `copy` a copy of the file `original`; false when either step fails.
bool CopySettingsFile(const std::string& original, const std::string& copy) {
    std::string bytes;
    return ReadFileBytes(original, kMaxSettingsFileBytes, &bytes, nullptr) == ReadFileResult::Ok &&
           MakeFolders(DirectoryPart(copy, PathSeparators()), nullptr) &&
           WriteFileAtomically(copy, bytes, nullptr);
}

}  // namespace

std::string ChooseSettingsFilePath(const std::string& executableDirectory,
                                   const std::string& perUserPath, SettingsUse use) {
    if (executableDirectory.empty()) {
        return perUserPath;
    }
    const std::string beside = executableDirectory + kSettingsFileName;
    std::string ignored;
    const ReadFileResult besideFile =
        ReadFileBytes(beside, kMaxSettingsFileBytes, &ignored, nullptr);
    if (besideFile == ReadFileResult::Missing) {
        return MayCreateFileIn(executableDirectory) || perUserPath.empty() ? beside : perUserPath;
    }
    if (MayWriteFile(beside) || perUserPath.empty()) {
        return beside;
    }
    if (besideFile == ReadFileResult::Ok &&
        ReadFileBytes(perUserPath, kMaxSettingsFileBytes, &ignored, nullptr) ==
            ReadFileResult::Missing &&
        (use == SettingsUse::ReadOnly || !CopySettingsFile(beside, perUserPath))) {
        return beside;
    }
    return perUserPath;
}

std::string SettingsFilePathFor(const std::string& executableDirectory,
                                const std::string& installedFolder, const std::string& perUserPath,
                                SettingsUse use) {
    const bool installed = !installedFolder.empty() && !executableDirectory.empty() &&
                           IsSameFolder(executableDirectory, installedFolder);
    if (!installed || perUserPath.empty()) {
        return ChooseSettingsFilePath(installed ? std::string() : executableDirectory, perUserPath,
                                      use);
    }
    // An administrator's file beside the installed program still reaches a new user, also
    // one who could write it there (elevated): it is copied, never written. A demo copies
    // nothing: it reads that file in place.
    std::string ignored;
    if (ReadFileBytes(perUserPath, kMaxSettingsFileBytes, &ignored, nullptr) ==
        ReadFileResult::Missing) {
        const std::string beside = executableDirectory + kSettingsFileName;
        if (ReadFileBytes(beside, kMaxSettingsFileBytes, &ignored, nullptr) == ReadFileResult::Ok) {
            if (use == SettingsUse::ReadOnly) {
                return beside;
            }
            CopySettingsFile(beside, perUserPath);
        }
    }
    return perUserPath;
}

std::string SettingsFilePath(SettingsUse use) {
    const std::string directory = ExecutableDirectory();
    std::string installedFolder;
    for (const std::string& folder : InstalledProgramFolders()) {
        if (!folder.empty() && !directory.empty() && IsSameFolder(directory, folder)) {
            installedFolder = folder;
        }
    }
    return SettingsFilePathFor(directory, installedFolder, PerUserSettingsFilePath(), use);
}

std::vector<std::string> InstalledProgramFolders() {
#ifdef _WIN32
    return {MsiProgramFolder()};
#else
    return {FUMILINK_INSTALLED_PROGRAM_FOLDER, FUMILINK_PACKAGED_PROGRAM_FOLDER};
#endif
}
