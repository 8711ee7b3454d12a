#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "config/make_folders.h"

namespace {

bool IsFolder(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

bool MakeFolders(const std::string& directory, std::string* error) {
    if (directory.empty() || IsFolder(directory)) {
        return true;
    }
    // Each prefix up to a '/' is one folder, from the top down; the root needs no creation.
    for (size_t end = directory.find('/', 1);; end = directory.find('/', end + 1)) {
        const std::string folder = directory.substr(0, end);
        if (!folder.empty() && folder.back() != '/' && ::mkdir(folder.c_str(), 0700) != 0) {
            const int code = errno;
            if (!(code == EEXIST && IsFolder(folder))) {
                if (error != nullptr) {
                    *error = "cannot create " + folder + ": " + std::strerror(code);
                }
                return false;
            }
        }
        if (end == std::string::npos) {
            return true;
        }
    }
}
