#include "app/file_bytes.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

ReadFileResult ReadFileBytes(const std::string& path, std::string* bytes, std::string* error) {
    bytes->clear();
    errno = 0;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        if (errno == ENOENT) {
            return ReadFileResult::Missing;
        }
        if (error != nullptr) {
            *error = "cannot open " + path + ": " + std::strerror(errno);
        }
        return ReadFileResult::Failed;
    }
    char buffer[4096];
    size_t count = 0;
    while ((count = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        bytes->append(buffer, count);
    }
    bool failed = std::ferror(file) != 0;
    int saved = errno;
    std::fclose(file);
    if (failed) {
        bytes->clear();
        if (error != nullptr) {
            *error = "cannot read " + path + ": " + std::strerror(saved);
        }
        return ReadFileResult::Failed;
    }
    return ReadFileResult::Ok;
}
