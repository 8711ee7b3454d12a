#pragma once
// Tells the simulator when the program opens and closes a port. The simulator keeps its
// own descriptor of each pty's slave open (so the program may close and reopen the port
// without the master ever seeing a hang-up), which hides the program's opens and closes
// from the master; inotify reports them on the slave's device node instead: IN_OPEN for
// every open, IN_CLOSE_WRITE / IN_CLOSE_NOWRITE when an opened file is released. Linux.

#include <string>
#include <vector>

class SimOpenWatch {
public:
    struct Event {
        int watch;    ///< as returned by Add
        bool opened;  ///< true: opened; false: closed
    };

    SimOpenWatch();
    ~SimOpenWatch();
    SimOpenWatch(const SimOpenWatch&) = delete;
    SimOpenWatch& operator=(const SimOpenWatch&) = delete;

    /// The descriptor to poll for POLLIN; -1 when inotify could not be set up.
    int fd() const { return fd_; }

    /// Starts watching `path`: opens and closes from now on are reported, not those of
    /// descriptors opened before. Returns the watch, or -1 with `error`.
    int Add(const std::string& path, std::string& error);
    /// Stops watching; events of that watch still queued are dropped by Take.
    void Remove(int watch);

    /// The events queued now, in the order they happened; never blocks.
    std::vector<Event> Take();

private:
    int fd_ = -1;
    std::vector<int> removed_;
};
