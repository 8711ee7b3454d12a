#pragma once
// Running a piece of a test as a user who may not write to a folder, or may not open a
// device. The suite runs as root in CI, and root may do both: there the piece runs as user
// nobody, in a child process (a folder) or on the test's own thread (a device).

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <functional>
#include <optional>
#include <string>

/// Runs `work` as a user who may not write to `folder`: as root in a child process that
/// has become user nobody, else right here with the folder made read-only (mode 0555, as it
/// stays). The result is that of `work`, or nothing when the folder stays writable all the
/// same. Whatever `work` touches must be reachable for user nobody.
inline std::optional<bool> AsUserWhoCannotWriteTo(const std::string& folder,
                                                  const std::function<bool()>& work) {
    chmod(folder.c_str(), 0555);
    if (geteuid() != 0) {
        if (access(folder.c_str(), W_OK) == 0) {
            return std::nullopt;
        }
        return work();
    }
    const passwd* nobody = getpwnam("nobody");
    if (nobody == nullptr) {
        return std::nullopt;
    }
    const uid_t uid = nobody->pw_uid;
    const gid_t gid = nobody->pw_gid;
    const pid_t child = fork();
    if (child == 0) {
        if (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0 ||
            access(folder.c_str(), W_OK) == 0) {
            _exit(2);
        }
        _exit(work() ? 0 : 1);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status) ||
        WEXITSTATUS(status) == 2) {
        return std::nullopt;
    }
    return WEXITSTATUS(status) == 0;
}

/// Runs `work` on this thread as a user whom the system refuses `path` (a device or file
/// the test made) with EACCES: its mode becomes 0 (as it stays), and as root the thread
/// takes user nobody's file-system identity meanwhile (setfsuid: this thread only, and
/// root's file-system capabilities go with it until it is given back). Other threads, and
/// a Qt event loop on this one, go on as before. False, and `work` not run, when `path`
/// can be opened all the same.
inline bool AsUserWhoCannotOpen(const std::string& path, const std::function<void()>& work) {
    chmod(path.c_str(), 0);
    const bool root = geteuid() == 0;
    if (root) {
        const passwd* nobody = getpwnam("nobody");
        if (nobody == nullptr) {
            return false;
        }
        setfsuid(nobody->pw_uid);
        if (static_cast<uid_t>(setfsuid(static_cast<uid_t>(-1))) != nobody->pw_uid) {
            return false;
        }
    }
    const int probe = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    const bool refused = probe < 0 && errno == EACCES;
    if (probe >= 0) {
        close(probe);
    }
    if (refused) {
        work();
    }
    if (root) {
        setfsuid(0);
    }
    return refused;
}
