#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "config/file_bytes.h"

namespace {

ReadFileResult Fail(std::string* error, const std::string& what, const std::string& reason) {
    if (error != nullptr) {
        *error = what + ": " + reason;
    }
    return ReadFileResult::Failed;
}

}  // namespace

ReadFileResult ReadFileBytes(const std::string& path, size_t maxBytes, std::string* bytes,
                             std::string* error) {
    bytes->clear();
    // O_NONBLOCK: opening a named pipe would otherwise wait for a writer, for ever.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) {
            return ReadFileResult::Missing;
        }
        return Fail(error, "cannot open " + path, std::strerror(errno));
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        const int saved = errno;
        ::close(fd);
        return Fail(error, "cannot read " + path, std::strerror(saved));
    }
    // A device such as /dev/zero never ends; only a regular file has a size to trust.
    if (!S_ISREG(info.st_mode)) {
        ::close(fd);
        return Fail(error, "cannot read " + path, "not a regular file");
    }
    if (static_cast<unsigned long long>(info.st_size) > maxBytes) {
        ::close(fd);
        return Fail(error, "cannot read " + path,
                    "larger than " + std::to_string(maxBytes) + " bytes");
    }
    bytes->reserve(static_cast<size_t>(info.st_size));
    char buffer[4096];
    for (;;) {
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0) {
            const int saved = errno;
            ::close(fd);
            bytes->clear();
            return Fail(error, "cannot read " + path, std::strerror(saved));
        }
        if (count == 0) {
            break;
        }
        // The file may grow while it is read.
        if (bytes->size() + static_cast<size_t>(count) > maxBytes) {
            ::close(fd);
            bytes->clear();
            return Fail(error, "cannot read " + path,
                        "larger than " + std::to_string(maxBytes) + " bytes");
        }
        bytes->append(buffer, static_cast<size_t>(count));
    }
    ::close(fd);
    return ReadFileResult::Ok;
}
