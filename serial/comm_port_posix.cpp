// POSIX back end of CommPort: termios on a file descriptor, poll() with a wake-up pipe for
// the watcher, FIONREAD for the queue count. Written for Linux (TIOCGICOUNT, termios2);
// serial/README.md lists what of the DCB termios cannot express.

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <mutex>

#include "serial/comm_port.h"
#include "serial/comm_port_probe_posix.h"
#include "serial/comm_tables.h"
#include "serial/comm_types.h"
#include "serial/custom_baud_linux.h"
#include "serial/termios_mapping_posix.h"

namespace {

// While unread bytes wait, poll() keeps reporting POLLIN although nothing new arrived; the
// watcher then looks for arrivals at this pace instead (and for line changes likewise).
constexpr int kRecheckMs = 20;

bool IsGoneErrno(int error) {
    return error == EIO || error == ENXIO || error == ENODEV || error == EBADF;
}

uint32_t ErrorBits(const serial_icounter_struct& now, const serial_icounter_struct& before) {
    uint32_t errors = 0;
    if (now.buf_overrun != before.buf_overrun) {
        errors |= CE_RXOVER_BIT;
    }
    if (now.overrun != before.overrun) {
        errors |= CE_OVERRUN_BIT;
    }
    if (now.parity != before.parity) {
        errors |= CE_RXPARITY_BIT;
    }
    if (now.frame != before.frame) {
        errors |= CE_FRAME_BIT;
    }
    if (now.brk != before.brk) {
        errors |= CE_BREAK_BIT;
    }
    return errors;
}

std::atomic<void (*)()> receiveCountProbe{nullptr};

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

// Modem-line and counter snapshot the watcher compares between passes; devices without
// modem lines or counters (ptys) simply never change it.
struct LineSnapshot {
    int modem = 0;
    serial_icounter_struct counters{};
    int outQueue = 0;
};

}  // namespace

class CommPortImpl {
public:
    CommPortImpl() {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
            wakeRead_ = fds[0];
            wakeWrite_ = fds[1];
        }
    }
    ~CommPortImpl() {
        Close();
        if (wakeRead_ >= 0) {
            close(wakeRead_);
            close(wakeWrite_);
        }
    }

    bool Open(uint8_t port, const CommOpenWait& wait) {
        // Without its wake-up pipe a watcher could never be stopped: refuse to open.
        if (fd_ >= 0 || wakeRead_ < 0) {
            return false;
        }
        const std::string path = DevicePathOfPort(port);
        if (path.empty()) {
            return false;
        }
        const int fd = static_cast<int>(OpenCommDevice(path, wait));
        if (fd < 0) {
            return false;
        }
        // The advisory lock holds for everyone who asks for it, root included, so two
        // copies of this program never share a port; it ends with the process, however
        // that ends.
        if (!isatty(fd) || flock(fd, LOCK_EX | LOCK_NB) != 0) {
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
        bytesRead_.store(0, std::memory_order_relaxed);
        rxBaseline_.store(0, std::memory_order_relaxed);
        evMask_.store(0, std::memory_order_relaxed);
        reportedArrivals_ = 0;
        snapshot_ = TakeSnapshot();
        {
            std::lock_guard lock(errorMutex_);
            errorBase_ = snapshot_.counters;
        }
        DrainWake();
        return true;
    }

    bool IsOpen() const { return fd_ >= 0; }

    void Close() {
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

    bool ApplySettings(const DCB& dcb) {
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

    void SetEventMask(uint32_t evMask) {
        const uint32_t before = evMask_.load(std::memory_order_acquire);
        if ((evMask & EV_RXCHAR_BIT) != 0 && (before & EV_RXCHAR_BIT) == 0 && fd_ >= 0) {
            // Bytes that came while EV_RXCHAR was off are not events, as on Windows: only
            // arrivals from now on count.
            int queued = 0;
            ioctl(fd_, FIONREAD, &queued);
            rxBaseline_.store(bytesRead_.load(std::memory_order_acquire) +
                                  static_cast<uint64_t>(queued > 0 ? queued : 0),
                              std::memory_order_release);
        }
        evMask_.store(evMask, std::memory_order_release);
        const char wake = 1;
        // A full pipe already holds a pending wake-up; nothing is lost.
        [[maybe_unused]] const ssize_t written = write(wakeWrite_, &wake, 1);
    }

    CommWaitResult WaitEvent() {
        for (;;) {
            const uint32_t mask = evMask_.load(std::memory_order_acquire);
            uint32_t events = 0;
            bool unreadWaiting = false;
            if ((mask & EV_RXCHAR_BIT) != 0) {
                // Counter first, queue second: a Read in between moves its bytes from the
                // queue to the counter unseen, so they are missed this time and counted on
                // the next pass. The other order counts them twice, and that many later
                // arrivals would raise no event.
                const uint64_t readSoFar = bytesRead_.load(std::memory_order_acquire);
                if (const auto probe = receiveCountProbe.load(std::memory_order_acquire)) {
                    probe();
                }
                int queued = 0;
                if (ioctl(fd_, FIONREAD, &queued) != 0) {
                    return {IsGoneErrno(errno) ? CommWaitStatus::Gone : CommWaitStatus::Failed, 0};
                }
                // Arrival, not presence: bytes already reported and still unread must not
                // be reported again (Windows raises EV_RXCHAR only when bytes come in).
                const uint64_t baseline = rxBaseline_.load(std::memory_order_acquire);
                if (baseline > reportedArrivals_) {
                    reportedArrivals_ = baseline;
                }
                const uint64_t arrivals = readSoFar + static_cast<uint64_t>(queued);
                if (arrivals > reportedArrivals_) {
                    reportedArrivals_ = arrivals;
                    events |= EV_RXCHAR_BIT;
                }
                unreadWaiting = queued > 0;
            }
            const uint32_t lineMask = mask & ~(EV_RXCHAR_BIT | EV_RXFLAG_BIT);
            if (lineMask != 0) {
                events |= LineEvents() & lineMask;
            }
            if (events != 0) {
                return {CommWaitStatus::Event, events};
            }

            pollfd fds[2] = {{wakeRead_, POLLIN, 0}, {fd_, 0, 0}};
            if ((mask & EV_RXCHAR_BIT) != 0 && !unreadWaiting) {
                fds[1].events = POLLIN;
            }
            const bool recheck = unreadWaiting || lineMask != 0;
            const int ready = poll(fds, 2, recheck ? kRecheckMs : -1);
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

    uint32_t ModemStatus() {
        int lines = 0;
        if (fd_ < 0 || ioctl(fd_, TIOCMGET, &lines) != 0) {
            return 0;
        }
        return ModemBits(lines);
    }

    void SetDtr(bool raise) {
        int dtr = TIOCM_DTR;
        if (fd_ >= 0) {
            ioctl(fd_, raise ? TIOCMBIS : TIOCMBIC, &dtr);
        }
    }

    void Purge() {
        if (fd_ >= 0) {
            tcflush(fd_, TCIOFLUSH);
        }
    }

    CommQueueStatus QueueStatus() {
        int queued = 0;
        if (fd_ < 0 || ioctl(fd_, FIONREAD, &queued) != 0) {
            return {0, 0};
        }
        uint32_t errors = 0;
        serial_icounter_struct now{};
        if (ioctl(fd_, TIOCGICOUNT, &now) == 0) {
            std::lock_guard lock(errorMutex_);
            errors = ErrorBits(now, errorBase_);
            errorBase_ = now;
        }
        return {errors, static_cast<uint32_t>(queued)};
    }

    int32_t Read(void* buffer, int32_t count) {
        if (fd_ < 0) {
            return 0;
        }
        ssize_t got;
        do {
            got = read(fd_, buffer, static_cast<size_t>(count));
        } while (got < 0 && errno == EINTR);
        if (got <= 0) {
            return 0;
        }
        bytesRead_.fetch_add(static_cast<uint64_t>(got), std::memory_order_release);
        return static_cast<int32_t>(got);
    }

    int32_t Write(const void* buffer, int32_t count) {
        if (fd_ < 0) {
            return 0;
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
                break;
            }
            pollfd out{fd_, POLLOUT, 0};
            if (poll(&out, 1, static_cast<int>(left.count())) < 0 && errno != EINTR) {
                break;
            }
            if ((out.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
                break;
            }
        }
        return done;
    }

private:
    static uint32_t ModemBits(int lines) {
        uint32_t status = 0;
        if ((lines & TIOCM_CTS) != 0) {
            status |= MS_CTS_ON_BIT;
        }
        if ((lines & TIOCM_DSR) != 0) {
            status |= MS_DSR_ON_BIT;
        }
        if ((lines & TIOCM_RNG) != 0) {
            status |= MS_RING_ON_BIT;
        }
        if ((lines & TIOCM_CD) != 0) {
            status |= MS_RLSD_ON_BIT;
        }
        return status;
    }

    LineSnapshot TakeSnapshot() const {
        LineSnapshot snap;
        ioctl(fd_, TIOCMGET, &snap.modem);
        ioctl(fd_, TIOCGICOUNT, &snap.counters);
        ioctl(fd_, TIOCOUTQ, &snap.outQueue);
        return snap;
    }

    // EV_ bits for what changed since the previous pass (watcher thread only).
    uint32_t LineEvents() {
        const LineSnapshot now = TakeSnapshot();
        uint32_t events = 0;
        const int changed = now.modem ^ snapshot_.modem;
        if ((changed & TIOCM_CTS) != 0) {
            events |= EV_CTS_BIT;
        }
        if ((changed & TIOCM_DSR) != 0) {
            events |= EV_DSR_BIT;
        }
        if ((changed & TIOCM_CD) != 0) {
            events |= EV_RLSD_BIT;
        }
        if ((changed & now.modem & TIOCM_RNG) != 0) {
            events |= EV_RING_BIT;
        }
        if (now.counters.brk != snapshot_.counters.brk) {
            events |= EV_BREAK_BIT;
        }
        if ((ErrorBits(now.counters, snapshot_.counters) & ~CE_BREAK_BIT) != 0) {
            events |= EV_ERR_BIT;
        }
        if (snapshot_.outQueue > 0 && now.outQueue == 0) {
            events |= EV_TXEMPTY_BIT;
        }
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
    uint32_t baud_ = 0;
    std::atomic<uint32_t> evMask_{0};
    std::atomic<uint64_t> bytesRead_{0};
    std::atomic<uint64_t> rxBaseline_{0};  // arrivals already counted when EV_RXCHAR came on
    uint64_t reportedArrivals_ = 0;        // watcher thread only
    LineSnapshot snapshot_;                // watcher thread only
    std::mutex errorMutex_;                // both threads take the error word
    serial_icounter_struct errorBase_{};
};

CommPort::CommPort() : impl_(std::make_unique<CommPortImpl>()) {}
CommPort::~CommPort() = default;

bool CommPort::Open(uint8_t port, const CommOpenWait& wait) {
    return impl_->Open(port, wait);
}
bool CommPort::IsOpen() const {
    return impl_->IsOpen();
}
void CommPort::Close() {
    impl_->Close();
}
bool CommPort::ApplySettings(const DCB& settings, uint32_t, uint32_t) {
    // Linux tty buffers have a fixed size: the buffer sizes have nothing to go to.
    return impl_->ApplySettings(settings);
}
void CommPort::SetEventMask(uint32_t evMask) {
    impl_->SetEventMask(evMask);
}
CommWaitResult CommPort::WaitEvent() {
    return impl_->WaitEvent();
}
uint32_t CommPort::ModemStatus() {
    return impl_->ModemStatus();
}
void CommPort::SetDtr(bool raise) {
    impl_->SetDtr(raise);
}
void CommPort::Purge() {
    impl_->Purge();
}
CommQueueStatus CommPort::QueueStatus() {
    return impl_->QueueStatus();
}
int32_t CommPort::Read(void* buffer, int32_t count) {
    return impl_->Read(buffer, count);
}
int32_t CommPort::Write(const void* buffer, int32_t count) {
    return impl_->Write(buffer, count);
}

void SetReceiveCountProbe(void (*probe)()) {
    receiveCountProbe.store(probe, std::memory_order_release);
}

void EnterWatcherThread() {
    pthread_setname_np(pthread_self(), "comm-watcher");
    // On Linux the nice value is per thread: one step up is "below normal".
    const int tid = static_cast<int>(syscall(SYS_gettid));
    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, static_cast<id_t>(tid));
    if (errno == 0 && nice < 19) {
        setpriority(PRIO_PROCESS, static_cast<id_t>(tid), nice + 1);
    }
}

DCB SystemDefaultLineSettings() {
    return DefaultLineSettings();
}
