// POSIX back end of CommPort: termios on a file descriptor, poll() with a wake-up pipe for
// the watcher, FIONREAD for the queue count. Written for Linux (TIOCGICOUNT, termios2);
// serial/README.md lists what of the DCB termios cannot express.

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <mutex>
#include <optional>

#include "serial/arrival_counter.h"
#include "serial/comm_port.h"
#include "serial/comm_port_backend.h"
#include "serial/comm_tables.h"
#include "serial/comm_types.h"
#include "serial/custom_baud_linux.h"
#include "serial/termios_mapping_posix.h"
#include "serial/tty_line_mapping_posix.h"

namespace {

bool IsGoneErrno(int error) {
    return error == EIO || error == ENXIO || error == ENODEV || error == EBADF;
}

// Unix98 pseudo-terminal slaves (/dev/pts/N) have the majors 136..143, the old BSD ones
// (/dev/ttyp0 ...) major 3.
bool IsPseudoTerminal(int fd) {
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISCHR(info.st_mode)) {
        return false;
    }
    const unsigned int deviceMajor = major(info.st_rdev);
    return (deviceMajor >= 136 && deviceMajor <= 143) || deviceMajor == 3;
}

}  // namespace

class PosixCommPort final : public CommPortBackend {
public:
    explicit PosixCommPort(ArrivalCounter& arrivals) : arrivals_(arrivals) {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
            wakeRead_ = fds[0];
            wakeWrite_ = fds[1];
        } else {
            wakeError_ = errno;
        }
    }
    ~PosixCommPort() override {
        Close();
        if (wakeRead_ >= 0) {
            close(wakeRead_);
            close(wakeWrite_);
        }
    }

    bool Open(const std::string& path, const CommOpenWait& wait, CommOpenError& error) override {
        // Without its wake-up pipe a watcher could never be stopped: refuse to open.
        if (wakeRead_ < 0) {
            error = OpenErrorFromSystem(static_cast<uint32_t>(wakeError_), path);
            return false;
        }
        const int fd = static_cast<int>(OpenCommDevice(path, wait, error));
        if (fd < 0) {
            return false;
        }
        // The advisory lock holds for everyone who asks for it, root included, so two
        // copies of this program never share a port; it ends with the process, however
        // that ends. (errno is taken before the close can change it.)
        if (!isatty(fd) || flock(fd, LOCK_EX | LOCK_NB) != 0) {
            error = OpenErrorFromSystem(static_cast<uint32_t>(errno), path);
            close(fd);
            return false;
        }
        // TIOCEXCL also keeps out ordinary users' programs that do not ask for the lock. It
        // is a flag of the tty, not of our descriptor: it lasts while anyone keeps the tty
        // open. A device's tty normally goes away with our descriptor; a pseudo-terminal
        // lives on while its other side is open, and a killed process (which never gets to
        // TIOCNXCL) would leave it refusing every ordinary user with EBUSY.
        if (!IsPseudoTerminal(fd)) {
            ioctl(fd, TIOCEXCL);
        }
        fd_ = fd;
        evMask_.store(0, std::memory_order_relaxed);
        snapshot_ = TakeSnapshot();
        {
            std::lock_guard lock(errorMutex_);
            errorBase_ = snapshot_.counters;
        }
        DrainWake();
        return true;
    }

    bool IsOpen() const override { return fd_ >= 0; }

    void Close() override {
        if (fd_ < 0) {
            return;
        }
        // Another holder of the tty (opened before us, or root) would keep the flag alive
        // after our close.
        ioctl(fd_, TIOCNXCL);
        flock(fd_, LOCK_UN);
        close(fd_);
        fd_ = -1;
    }

    // Linux tty buffers have a fixed size: the buffer sizes have nothing to go to.
    bool ApplySettings(const DCB& dcb, uint32_t, uint32_t) override {
        termios tio{};
        if (fd_ < 0 || tcgetattr(fd_, &tio) != 0) {
            return false;
        }
        const uint32_t customBaud = DcbToTermios(dcb, tio);
        if (tcsetattr(fd_, TCSANOW, &tio) != 0) {
            return false;
        }
        const bool ok = customBaud == 0 || SetCustomBaudRate(fd_, customBaud);
        baud_ = dcb.BaudRate;

        // Modem lines; ptys have none and refuse, which is fine.
        int dtr = TIOCM_DTR;
        ioctl(fd_, DcbDtrControl(dcb.Flags) == kDtrControlDisable ? TIOCMBIC : TIOCMBIS, &dtr);
        if (!WantsHardwareFlow(dcb)) {
            int rts = TIOCM_RTS;
            ioctl(fd_, DcbRtsControl(dcb.Flags) == kRtsControlEnable ? TIOCMBIS : TIOCMBIC, &rts);
        }
        return ok;
    }

    void SetEventMask(uint32_t evMask) override {
        evMask_.store(evMask, std::memory_order_release);
        const char wake = 1;
        // A full pipe already holds a pending wake-up; nothing is lost.
        [[maybe_unused]] const ssize_t written = write(wakeWrite_, &wake, 1);
    }

    CommWaitResult WaitEvent() override {
        for (;;) {
            const uint32_t mask = evMask_.load(std::memory_order_acquire);
            uint32_t events = 0;
            bool unreadWaiting = false;
            if ((mask & EV_RXCHAR_BIT) != 0) {
                int queued = 0;
                int queueError = 0;
                const std::optional<bool> arrived =
                    arrivals_.Arrived([this, &queued, &queueError]() -> std::optional<uint32_t> {
                        if (ioctl(fd_, FIONREAD, &queued) != 0) {
                            queueError = errno;
                            return std::nullopt;
                        }
                        return static_cast<uint32_t>(queued);
                    });
                if (!arrived) {
                    return {IsGoneErrno(queueError) ? CommWaitStatus::Gone : CommWaitStatus::Failed,
                            0};
                }
                if (*arrived) {
                    events |= EV_RXCHAR_BIT;
                }
                unreadWaiting = queued > 0;
            }
            const uint32_t lineMask = mask & ~(EV_RXCHAR_BIT | EV_RXFLAG_BIT);
            if (lineMask != 0) {
                events |= LineEvents(lineMask);
            }
            if (events != 0) {
                return {CommWaitStatus::Event, events};
            }

            pollfd fds[2] = {{wakeRead_, POLLIN, 0}, {fd_, 0, 0}};
            if ((mask & EV_RXCHAR_BIT) != 0 && !unreadWaiting) {
                fds[1].events = POLLIN;
            }
            const bool recheck = unreadWaiting || lineMask != 0;
            const int ready = poll(fds, 2, recheck ? static_cast<int>(kRecheckIntervalMs) : -1);
            if (ready < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return {CommWaitStatus::Failed, 0};
            }
            if ((fds[0].revents & POLLIN) != 0) {
                DrainWake();
                return {CommWaitStatus::Woken, 0};
            }
            if ((fds[1].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
                return {CommWaitStatus::Gone, 0};
            }
        }
    }

    uint32_t QueuedBytes() override {
        int queued = 0;
        if (fd_ < 0 || ioctl(fd_, FIONREAD, &queued) != 0 || queued < 0) {
            return 0;
        }
        return static_cast<uint32_t>(queued);
    }

    uint32_t ModemStatus() override {
        int lines = 0;
        if (fd_ < 0 || ioctl(fd_, TIOCMGET, &lines) != 0) {
            return 0;
        }
        return ModemBits(lines);
    }

    void SetDtr(bool raise) override {
        int dtr = TIOCM_DTR;
        if (fd_ >= 0) {
            ioctl(fd_, raise ? TIOCMBIS : TIOCMBIC, &dtr);
        }
    }

    void Purge() override {
        if (fd_ >= 0) {
            tcflush(fd_, TCIOFLUSH);
        }
    }

    CommQueueStatus QueueStatus() override {
        int queued = 0;
        if (fd_ < 0 || ioctl(fd_, FIONREAD, &queued) != 0) {
            return {0, 0};
        }
        uint32_t errors = 0;
        serial_icounter_struct now{};
        if (ioctl(fd_, TIOCGICOUNT, &now) == 0) {
            std::lock_guard lock(errorMutex_);
            errors = ErrorBits(errorBase_, now);
            errorBase_ = now;
        }
        // rfcomm keeps what was written here until its link is up.
        int outQueued = 0;
        if (ioctl(fd_, TIOCOUTQ, &outQueued) != 0 || outQueued < 0) {
            outQueued = 0;
        }
        return {errors, static_cast<uint32_t>(queued), static_cast<uint32_t>(outQueued)};
    }

    int32_t Read(void* buffer, int32_t count) override {
        if (fd_ < 0) {
            return 0;
        }
        ssize_t got;
        do {
            got = read(fd_, buffer, static_cast<size_t>(count));
        } while (got < 0 && errno == EINTR);
        return got > 0 ? static_cast<int32_t>(got) : 0;
    }

    CommWriteResult Write(const void* buffer, int32_t count) override {
        if (fd_ < 0) {
            return {0, false};
        }
        using Clock = std::chrono::steady_clock;
        const auto deadline =
            Clock::now() + std::chrono::milliseconds(WriteDeadlineMs(count, baud_));
        const auto* bytes = static_cast<const uint8_t*>(buffer);
        int32_t done = 0;
        while (done < count) {
            const ssize_t put = write(fd_, bytes + done, static_cast<size_t>(count - done));
            if (put > 0) {
                done += static_cast<int32_t>(put);
                continue;
            }
            if (put < 0 && errno == EINTR) {
                continue;
            }
            if (put < 0 && errno != EAGAIN) {
                break;  // EIO: the other side is gone
            }
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) {
                return {done, true};  // the tty's output does not drain
            }
            pollfd out{fd_, POLLOUT, 0};
            if (poll(&out, 1, static_cast<int>(left.count())) < 0 && errno != EINTR) {
                break;
            }
            if ((out.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
                break;
            }
        }
        return {done, false};
    }

private:
    LineSnapshot TakeSnapshot() const {
        LineSnapshot snap;
        ioctl(fd_, TIOCMGET, &snap.modem);
        ioctl(fd_, TIOCGICOUNT, &snap.counters);
        ioctl(fd_, TIOCOUTQ, &snap.outQueue);
        return snap;
    }

    // EV_ bits of `mask` for what changed since the previous pass (watcher thread only).
    uint32_t LineEvents(uint32_t mask) {
        const LineSnapshot now = TakeSnapshot();
        const uint32_t events = ::LineEvents(snapshot_, now) & mask;
        snapshot_ = now;
        return events;
    }

    void DrainWake() {
        char sink[64];
        while (read(wakeRead_, sink, sizeof sink) > 0) {
        }
    }

    int fd_ = -1;
    int wakeRead_ = -1;
    int wakeWrite_ = -1;
    int wakeError_ = 0;  // why there is no wake-up pipe
    uint32_t baud_ = 0;
    std::atomic<uint32_t> evMask_{0};
    ArrivalCounter& arrivals_;
    LineSnapshot snapshot_;  // watcher thread only
    std::mutex errorMutex_;  // both threads take the error word
    serial_icounter_struct errorBase_{};
};

std::unique_ptr<CommPortBackend> MakeCommPortBackend(ArrivalCounter& arrivals) {
    return std::make_unique<PosixCommPort>(arrivals);
}
