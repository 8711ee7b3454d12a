#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "app/single_instance.h"

namespace {

// Per user: the session's runtime folder, else a private folder in /tmp. The /tmp folder
// is shared with every user, so it must be a real folder of ours that nobody else can
// write into; otherwise someone could plant a lock file or a link there.
std::string LockDirectory() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] == '/') {
        return std::string(runtime) + "/";
    }
    std::string directory = "/tmp/fumilink-" + std::to_string(::getuid());
    if (::mkdir(directory.c_str(), 0700) != 0 && errno != EEXIST) {
        return {};
    }
    struct stat info {};
    if (::lstat(directory.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) ||
        info.st_uid != ::getuid() || (info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        return {};
    }
    return directory + "/";
}

}  // namespace

bool SingleInstanceGuard::Acquire() {
    if (Held()) {
        return true;
    }
    std::string directory = LockDirectory();
    if (directory.empty() || fileName_.empty()) {
        return true;  // no guard possible: behave as the first copy
    }
    std::string lockPath = directory + fileName_ + ".lock";
    // O_NOFOLLOW: a link planted in place of the lock file is refused, not followed.
    int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        return true;
    }
    // The lock belongs to the open file, which the kernel closes when the process dies in
    // any way, so a crashed copy never blocks the next start.
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        int reason = errno;
        if (reason == EINTR) {
            continue;
        }
        ::close(fd);
        return reason != EWOULDBLOCK;
    }
    handle_ = fd;
    return true;
}

void SingleInstanceGuard::Release() {
    if (Held()) {
        ::close(static_cast<int>(handle_));  // drops the lock; the file stays for the next
        handle_ = kNoHandle;
    }
}
