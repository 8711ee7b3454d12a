#include <windows.h>

#include "config/make_folders.h"
#include "config/wide_path_win32.h"

namespace {

bool IsFolder(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(WidePath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Where the folders below the root begin: after "C:\", after "\\server\share\", else 0.
size_t FirstCreatable(const std::string& directory) {
    if (directory.size() >= 2 && directory[1] == ':') {
        return 3;
    }
    if (directory.rfind("\\\\", 0) == 0) {
        const size_t share = directory.find_first_of("\\/", 2);
        const size_t below =
            share == std::string::npos ? share : directory.find_first_of("\\/", share + 1);
        return below == std::string::npos ? directory.size() : below + 1;
    }
    return 1;
}

}  // namespace

bool MakeFolders(const std::string& directory, std::string* error) {
    if (directory.empty() || IsFolder(directory)) {
        return true;
    }
    for (size_t end = directory.find_first_of("\\/", FirstCreatable(directory));;
         end = directory.find_first_of("\\/", end + 1)) {
        const std::string folder = directory.substr(0, end);
        const char last = folder.empty() ? '\\' : folder.back();
        if (last != '\\' && last != '/' && !CreateDirectoryW(WidePath(folder).c_str(), nullptr)) {
            const DWORD code = GetLastError();
            if (!(code == ERROR_ALREADY_EXISTS && IsFolder(folder))) {
                if (error != nullptr) {
                    *error = "cannot create " + folder + " (error " + std::to_string(code) + ")";
                }
                return false;
            }
        }
        if (end == std::string::npos) {
            return true;
        }
    }
}
