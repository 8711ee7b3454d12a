#pragma once
// Running a piece of a test as a user who may not write to a folder. The suite runs as
// root in CI, and root may write everywhere: there the piece runs in a child process that
// has become user nobody.

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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
