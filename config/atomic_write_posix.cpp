#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <optional>

#include "config/atomic_write.h"
#include "config/executable_path.h"
#include "config/temporary_file_name.h"

namespace {

std::atomic<uint32_t> temporaryCounter{0};

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

std::string FolderOf(const std::string& path) {
    const std::string folder = DirectoryPart(path, "/");
    return folder.empty() ? "./" : folder;
}

/// The file `path` finally names: symbolic links followed (also a last one that points
/// at nothing yet), relative link targets taken from the link's folder. Nothing for a
/// loop of links.
std::optional<std::string> FollowLinks(std::string path) {
    for (int hop = 0; hop < 40; ++hop) {
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
            return path;
        }
        char target[PATH_MAX];
        const ssize_t length = ::readlink(path.c_str(), target, sizeof target);
        if (length <= 0 || static_cast<size_t>(length) >= sizeof target) {
            return path;
        }
        std::string next(target, static_cast<size_t>(length));
        path = next.front() == '/' ? next : DirectoryPart(path, "/") + next;
    }
    return std::nullopt;
}

bool ProcessRuns(uint32_t pid) {
    if (pid == 0 || pid > static_cast<uint32_t>(INT_MAX)) {
        return false;
    }
    // EPERM: it runs, under another user.
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

/// Temporary files that writers of `fileName` left behind when they were killed. A living
/// writer's file is left alone: it may be in the middle of its replace.
void RemoveLeftovers(const std::string& folder, const std::string& fileName) {
    DIR* entries = ::opendir(folder.c_str());
    if (entries == nullptr) {
        return;
    }
    const uint32_t self = static_cast<uint32_t>(::getpid());
    while (const dirent* entry = ::readdir(entries)) {
        const std::optional<uint32_t> writer = TemporaryFileWriter(entry->d_name, fileName);
        if (writer && *writer != self && !ProcessRuns(*writer)) {
            ::unlinkat(::dirfd(entries), entry->d_name, 0);
        }
    }
    ::closedir(entries);
}

// After the rename the new directory entry must reach the disk too, or a crash could
// bring back the old file; failure here is not worth reporting, the data are written.
void SyncFolder(const std::string& folder) {
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

/// The fallback where no file can be created beside the target (a folder the user may
/// not write to, holding a file the user may): the file itself is rewritten. A crash in
/// between can leave it short; that beats never being able to save it.
bool WriteInPlace(const std::string& path, std::string_view bytes, std::string* error) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return Fail(error, "cannot write " + path, errno);
    }
    if (!WriteAll(fd, bytes) || ::fsync(fd) != 0) {
        const int saved = errno;
        ::close(fd);
        return Fail(error, "cannot write " + path, saved);
    }
    if (::close(fd) != 0) {
        return Fail(error, "cannot write " + path, errno);
    }
    return true;
}

}  // namespace

bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string* error) {
    if (path.empty()) {
        return Fail(error, "empty file name", ENOENT);
    }
    // A link stays a link: what it points at is the file to replace.
    const std::optional<std::string> followed = FollowLinks(path);
    if (!followed) {
        return Fail(error, "cannot resolve " + path, ELOOP);
    }
    const std::string& target = *followed;
    const std::string folder = FolderOf(target);
    const std::string fileName = FileNamePart(target, "/");
    RemoveLeftovers(folder, fileName);

    struct stat existing {};
    const bool replacing = ::stat(target.c_str(), &existing) == 0 && S_ISREG(existing.st_mode);

    // Unique per process and call, so two writers never share a temporary file; the mode
    // 0666 lets the umask decide the permissions of a new file.
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary = folder + TemporaryFileName(fileName, static_cast<uint32_t>(::getpid()),
                                               temporaryCounter.fetch_add(1));
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) {
            const int saved = errno;
            if (replacing && (saved == EACCES || saved == EPERM)) {
                return WriteInPlace(target, bytes, error);
            }
            return Fail(error, "cannot create " + temporary, saved);
        }
    }
    if (fd < 0) {
        return Fail(error, "cannot create a temporary file beside " + target, EEXIST);
    }
    if (replacing) {
        // The replaced file's owner and permission bits, not the umask's: the calling
        // program may have made the file readable for others on purpose. Only root may
        // give a file away; for anyone else the owner is theirs already or stays ours.
        if (existing.st_uid != ::geteuid() || existing.st_gid != ::getegid()) {
            [[maybe_unused]] const int ignored = ::fchown(fd, existing.st_uid, existing.st_gid);
        }
        ::fchmod(fd, existing.st_mode & 07777);
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
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        int saved = errno;
        ::unlink(temporary.c_str());
        return Fail(error, "cannot replace " + target, saved);
    }
    SyncFolder(folder);
    return true;
}
