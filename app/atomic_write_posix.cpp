#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

#include "app/atomic_write.h"
#include "app/executable_path.h"

namespace {

std::atomic<unsigned> temporaryCounter{0};

bool Fail(std::string* error, const std::string& what, int errorNumber) {
    if (error != nullptr) {
        *error = what + ": " + std::strerror(errorNumber);
    }
    return false;
}

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(written));
    }
    return true;
}

// After the rename the new directory entry must reach the disk too, or a crash could
// bring back the old file; failure here is not worth reporting, the data are written.
void SyncDirectory(const std::string& path) {
    std::string directory = DirectoryPart(path, "/");
    if (directory.empty()) {
        directory = ".";
    }
    int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

}  // namespace

bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string* error) {
    if (path.empty()) {
        return Fail(error, "empty file name", ENOENT);
    }
    // Unique per process and call, so two writers never share a temporary file; the mode
    // 0666 lets the umask decide the permissions as for any new file.
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary = path + ".tmp-" + std::to_string(::getpid()) + "-" +
                    std::to_string(temporaryCounter.fetch_add(1));
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) {
            return Fail(error, "cannot create " + temporary, errno);
        }
    }
    if (fd < 0) {
        return Fail(error, "cannot create a temporary file beside " + path, EEXIST);
    }
    if (!WriteAll(fd, bytes) || ::fsync(fd) != 0) {
        int saved = errno;
        ::close(fd);
        ::unlink(temporary.c_str());
        return Fail(error, "cannot write " + temporary, saved);
    }
    if (::close(fd) != 0) {
        int saved = errno;
        ::unlink(temporary.c_str());
        return Fail(error, "cannot write " + temporary, saved);
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        int saved = errno;
        ::unlink(temporary.c_str());
        return Fail(error, "cannot replace " + path, saved);
    }
    SyncDirectory(path);
    return true;
}
