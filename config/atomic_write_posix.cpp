#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <ctime>

#include "config/file_replace_steps.h"
#include "config/path_parts.h"

namespace {

StepOutcome Done() {
    return {};
}

StepOutcome Failure(int errorNumber) {
    return {StepResult::Failed, errorNumber};
}

int Descriptor(FileHandle file) {
    return static_cast<int>(file);
}

// An empty folder is the current one.
std::string FolderPath(const std::string& folder) {
    return folder.empty() ? "." : folder;
}

class PosixFileReplaceSteps final : public FileReplaceSteps {
public:
    std::string_view Separators() const override { return "/"; }

    std::optional<std::string> FollowLinks(const std::string& start) override {
        std::string path = start;
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
            // A relative target is taken from the link's folder.
            path = next.front() == '/' ? next : DirectoryPart(path, "/") + next;
        }
        return std::nullopt;
    }

    std::vector<std::string> CandidateLeftovers(const std::string& folder) override {
        std::vector<std::string> names;
        DIR* entries = ::opendir(FolderPath(folder).c_str());
        if (entries == nullptr) {
            return names;
        }
        while (const dirent* entry = ::readdir(entries)) {
            names.emplace_back(entry->d_name);
        }
        ::closedir(entries);
        return names;
    }

    std::uint32_t ThisProcess() override { return static_cast<std::uint32_t>(::getpid()); }

    bool ProcessRuns(std::uint32_t id) override {
        if (id == 0 || id > static_cast<std::uint32_t>(INT_MAX)) {
            return false;
        }
        // EPERM: it runs, under another user.
        return ::kill(static_cast<pid_t>(id), 0) == 0 || errno == EPERM;
    }

    ExistingFile Inspect(const std::string& path) override {
        struct stat info {};
        if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
            return {};
        }
        return {true, static_cast<std::uint32_t>(info.st_mode & 07777), info.st_uid, info.st_gid};
    }

    // A rename replaces a file whoever has it open: the holders keep reading the old one.
    StepOutcome MayReplace(const std::string&) override { return Done(); }

    StepOutcome CreateNew(const std::string& path, FileHandle* file) override {
        // The mode 0666 lets the umask decide the permissions of a new file.
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            *file = fd;
            return Done();
        }
        const int code = errno;
        if (code == EEXIST) {
            return {StepResult::Exists, code};
        }
        if (code == EACCES || code == EPERM) {
            return {StepResult::Denied, code};
        }
        return Failure(code);
    }

    StepOutcome OpenTruncated(const std::string& path, FileHandle* file) override {
        const int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) {
            return Failure(errno);
        }
        *file = fd;
        return Done();
    }

    void KeepProperties(FileHandle file, const ExistingFile& replaced) override {
        // Only root may give a file away; for anyone else the owner is theirs already or
        // stays ours.
        if (replaced.owner != ::geteuid() || replaced.group != ::getegid()) {
            [[maybe_unused]] const int ignored =
                ::fchown(Descriptor(file), replaced.owner, replaced.group);
        }
        ::fchmod(Descriptor(file), replaced.mode);
    }

    StepOutcome Write(FileHandle file, std::string_view bytes) override {
        while (!bytes.empty()) {
            const ssize_t written = ::write(Descriptor(file), bytes.data(), bytes.size());
            if (written < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return Failure(errno);
            }
            bytes.remove_prefix(static_cast<size_t>(written));
        }
        return Done();
    }

    StepOutcome Flush(FileHandle file) override {
        return ::fsync(Descriptor(file)) == 0 ? Done() : Failure(errno);
    }

    StepOutcome Close(FileHandle file) override {
        return ::close(Descriptor(file)) == 0 ? Done() : Failure(errno);
    }

    void Discard(FileHandle file, const std::string& path) override {
        ::close(Descriptor(file));
        ::unlink(path.c_str());
    }

    // A rename keeps nothing of the replaced file; the owner and permission bits were
    // given to the new file before it was written.
    StepOutcome Replace(const std::string& temporary, const std::string& target) override {
        return Rename(temporary, target);
    }

    StepOutcome Rename(const std::string& temporary, const std::string& target) override {
        return ::rename(temporary.c_str(), target.c_str()) == 0 ? Done() : Failure(errno);
    }

    void Remove(const std::string& path) override { ::unlink(path.c_str()); }

    // After the rename the new directory entry must reach the disk too, or a crash could
    // bring back the old file; failure here is not worth reporting, the data are written.
    void SyncFolder(const std::string& folder) override {
        const int fd = ::open(FolderPath(folder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd >= 0) {
            ::fsync(fd);
            ::close(fd);
        }
    }

    void Pause(std::chrono::milliseconds duration) override {
        const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(duration);
        timespec wait{static_cast<time_t>(seconds.count()),
                      static_cast<long>((duration - seconds).count() * 1000000)};
        while (::nanosleep(&wait, &wait) != 0 && errno == EINTR) {
        }
    }
};

}  // namespace

FileReplaceSteps& NativeFileReplaceSteps() {
    static PosixFileReplaceSteps steps;
    return steps;
}
