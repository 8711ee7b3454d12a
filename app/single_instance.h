#pragma once
// Only one copy of the program runs per user logon: a second copy, started while the
// first holds the guard, tells the user and ends. The guard is named after the
// executable's file name only, so copies from different folders under the same name
// exclude each other and a copy under another name does not.

#include <cstdint>
#include <string>

/// Holds the named guard for the life of the process (or of the object).
/// POSIX: an exclusive flock on "<file name>.lock" in $XDG_RUNTIME_DIR, else in
/// /tmp/fumilink-<uid>/ (created 0700, must be a real folder owned by the user); the
/// kernel drops the lock when the process dies, so a crashed copy never blocks the next.
/// Windows: a named mutex (CreateMutexW with initial ownership) in the local namespace.
/// Not copyable; not thread-safe (used once, on the main thread, before anything else).
class SingleInstanceGuard {
public:
    /// `fileName` is the executable's file name without folder, e.g. "fumilink.exe" (on
    /// Windows in UTF-8).
    explicit SingleInstanceGuard(std::string fileName);
    ~SingleInstanceGuard();  ///< releases the guard when held
    SingleInstanceGuard(const SingleInstanceGuard&) = delete;
    SingleInstanceGuard& operator=(const SingleInstanceGuard&) = delete;

    /// Returns false when another process holds the guard of this name (this copy must
    /// end), also when it does so but this process may not open the guard (Windows: a
    /// mutex that refuses access). True otherwise — also when the guard cannot be created
    /// at all, because a broken guard must not keep the user from working.
    bool Acquire();

    /// Gives the guard up; harmless when not held.
    void Release();

    /// True while this object holds a guard handle (false after a creation failure).
    bool Held() const { return handle_ != kNoHandle; }

private:
    static constexpr std::intptr_t kNoHandle = -1;
    std::string fileName_;
    std::intptr_t handle_ = kNoHandle;  ///< file descriptor or HANDLE
};
