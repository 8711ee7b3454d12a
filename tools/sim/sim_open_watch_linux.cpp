#include "tools/sim/sim_open_watch.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

SimOpenWatch::SimOpenWatch() : fd_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {}

SimOpenWatch::~SimOpenWatch() {
    if (fd_ >= 0) {
        close(fd_);
    }
}

int SimOpenWatch::Add(const std::string& path, std::string& error) {
    if (fd_ < 0) {
        error = "inotify is not available";
        return -1;
    }
    const int watch = inotify_add_watch(fd_, path.c_str(), IN_OPEN | IN_CLOSE);
    if (watch < 0) {
        error = "watching " + path + ": " + std::strerror(errno);
        return -1;
    }
    // The kernel reuses watch numbers only after wrapping around; a reused one is live.
    removed_.erase(std::remove(removed_.begin(), removed_.end(), watch), removed_.end());
    return watch;
}

void SimOpenWatch::Remove(int watch) {
    if (fd_ >= 0 && watch >= 0) {
        inotify_rm_watch(fd_, watch);
        removed_.push_back(watch);
    }
}

std::vector<SimOpenWatch::Event> SimOpenWatch::Take() {
    std::vector<Event> events;
    if (fd_ < 0) {
        return events;
    }
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        const ssize_t n = read(fd_, buffer, sizeof buffer);
        if (n <= 0) {
            if (n < 0 && errno == EINTR) {
                continue;
            }
            return events;
        }
        for (ssize_t at = 0; at < n;) {
            inotify_event event;
            std::memcpy(&event, buffer + at, sizeof event);
            at += static_cast<ssize_t>(sizeof event + event.len);
            const auto removed = std::find(removed_.begin(), removed_.end(), event.wd);
            if (removed != removed_.end()) {
                // IN_IGNORED is the last event of a removed watch.
                if ((event.mask & IN_IGNORED) != 0) {
                    removed_.erase(removed);
                }
                continue;
            }
            if ((event.mask & IN_OPEN) != 0) {
                events.push_back({event.wd, true});
            } else if ((event.mask & IN_CLOSE) != 0) {
                events.push_back({event.wd, false});
            }
        }
    }
}
