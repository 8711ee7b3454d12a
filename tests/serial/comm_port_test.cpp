// The POSIX layer under TComm: the port list, exclusive opening, a wait with no events in
// its mask, the stall of a line that stopped draining.

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <functional>
#include <string>
#include <system_error>
#include <thread>

#include "serial/comm_handshake.h"
#include "serial/comm_open_error.h"
#include "serial/comm_port.h"
#include "serial/comm_tables.h"
#include "serial/comm_types.h"
#include "serial/default_line_settings.h"
#include "serial/port_list.h"
#include "serial/port_paths.h"
#include "tests/support/as_restricted_user_posix.h"
#include "tests/support/pty_pair.h"
#include "tests/support/waits.h"

using namespace std::chrono_literals;

TEST(PortList, ListsLiveComLinksInNumberOrder) {
    PortDir dir;
    EXPECT_TRUE(ListSerialPorts().empty());
    PtyPair twelve(dir, 12);
    PtyPair two(dir, 2);
    PtyPair five(dir, 5);
    const std::vector<std::string> expected = {"COM2", "COM5", "COM12"};
    EXPECT_EQ(ListSerialPorts(), expected);
    five.HangUp();  // its link now dangles
    const std::vector<std::string> remaining = {"COM2", "COM12"};
    EXPECT_EQ(ListSerialPorts(), remaining);
}

TEST(PortList, BluetoothLinksAreRfcommTtysOrPortsLinkedToAnRfcommName) {
    PortDir dir;
    PtyPair plain(dir, 4);
    PtyPair standIn(dir, 6);
    // How a port folder marks a stand-in: COM6 -> rfcomm6 -> the pty.
    const std::string com6 = dir.Path() + "/COM6";
    ASSERT_EQ(unlink(com6.c_str()), 0);
    ASSERT_EQ(symlink(standIn.SlavePath().c_str(), (dir.Path() + "/rfcomm6").c_str()), 0);
    ASSERT_EQ(symlink("rfcomm6", com6.c_str()), 0);
    // Names that only look alike.
    PtyPair lookalike(dir, 7);
    const std::string com7 = dir.Path() + "/COM7";
    ASSERT_EQ(unlink(com7.c_str()), 0);
    ASSERT_EQ(symlink(standIn.SlavePath().c_str(), (dir.Path() + "/rfcommX").c_str()), 0);
    ASSERT_EQ(symlink("rfcommX", com7.c_str()), 0);

    EXPECT_FALSE(IsBluetoothLink(4));
    EXPECT_TRUE(IsBluetoothLink(6));
    EXPECT_FALSE(IsBluetoothLink(7));
    EXPECT_FALSE(IsBluetoothLink(9)) << "no such port";
    EXPECT_EQ(ListSerialPorts(), (std::vector<std::string>{"COM4", "COM6", "COM7"}));

    // The kernel's own: a character device of the rfcomm driver, whatever its name. Only
    // root may make one; as another user this part has nothing to look at.
    const std::string com8 = dir.Path() + "/COM8";
    if (mknod(com8.c_str(), S_IFCHR | 0600, makedev(216, 0)) == 0) {
        EXPECT_TRUE(IsBluetoothLink(8));
    }
    standIn.HangUp();  // the link to it dangles now
    EXPECT_FALSE(IsBluetoothLink(6));
}

TEST(CommPortWait, EmptyMaskStillEndsOnHangUp) {
    PortDir dir;
    PtyPair pty(dir, 8);
    CommPort port;
    ASSERT_TRUE(port.Open(8));
    port.SetEventMask(0);
    EXPECT_EQ(port.WaitEvent().status, CommWaitStatus::Woken);
    pty.DeviceWrite("ignored");
    pty.HangUp();
    EXPECT_EQ(port.WaitEvent().status, CommWaitStatus::Gone);
}

// A tty whose output never drains (here: a pty whose other side stops reading) stalls a
// write for its whole deadline; later writes fail at once until a byte comes in.
TEST(CommPortWrite, AStalledLineFailsLaterWritesAtOnce) {
    PortDir dir;
    PtyPair pty(dir, 8);
    CommPort port;
    ASSERT_TRUE(port.Open(8));
    ASSERT_TRUE(port.ApplySettings(DefaultLineSettings(), 2048, 2048));
    // Fill the tty's output through the test's own descriptor of it, until it stays full
    // (the kernel moves bytes on to the other side's buffer a moment later).
    ASSERT_EQ(fcntl(pty.SlaveFd(), F_SETFL, fcntl(pty.SlaveFd(), F_GETFL) | O_NONBLOCK), 0);
    const std::string block(4096, 'f');
    size_t filled = 0;
    pollfd room{pty.SlaveFd(), POLLOUT, 0};
    do {
        for (ssize_t put; (put = write(pty.SlaveFd(), block.data(), block.size())) > 0;) {
            filled += static_cast<size_t>(put);
        }
        ASSERT_EQ(errno, EAGAIN);
    } while (poll(&room, 1, 200) > 0);

    EXPECT_EQ(port.Write("S", 1), 0);  // waits its deadline, about two seconds
    EXPECT_EQ(pty.DeviceRead(filled).size(), filled);
    EXPECT_EQ(port.Write("ERVICE", 6), 0);  // room again, but the line counts as stalled
    EXPECT_EQ(pty.DeviceRead(1, 100ms), "");

    pty.DeviceWrite("R");
    char got = 0;
    ASSERT_TRUE(SpinUntil([&] { return port.Read(&got, 1) == 1; }));
    EXPECT_EQ(port.Write("x", 1), 1);
    EXPECT_EQ(pty.DeviceRead(1), "x");
}

TEST(CommPortOpen, RefusesWhatIsNoTerminal) {
    PortDir dir;
    const std::string file = dir.Path() + "/COM9";
    FILE* plain = fopen(file.c_str(), "w");
    ASSERT_NE(plain, nullptr);
    fclose(plain);
    CommPort port;
    EXPECT_FALSE(port.Open(9));
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.LastOpenError().failure, CommOpenFailure::NotASerialPort);
    EXPECT_EQ(port.LastOpenError().code, static_cast<uint32_t>(ENOTTY));
}

// Each refusal keeps what the system said, where it said it: a missing device, another
// holder, a user without the right to the device.
TEST(CommPortOpen, AFailedOpenKeepsItsReason) {
    PortDir dir;
    PtyPair pty(dir, 6);
    CommPort port;
    EXPECT_FALSE(port.Open(7));
    EXPECT_EQ(port.LastOpenError().failure, CommOpenFailure::NoDevice);
    EXPECT_EQ(port.LastOpenError().code, static_cast<uint32_t>(ENOENT));
    EXPECT_EQ(port.LastOpenError().text, std::generic_category().message(ENOENT));
    EXPECT_EQ(port.LastOpenError().device, dir.Path() + "/COM7");

    CommPort holder;
    ASSERT_TRUE(holder.Open(6));
    EXPECT_FALSE(port.Open(6));
    EXPECT_EQ(port.LastOpenError().failure, CommOpenFailure::Busy);
    EXPECT_EQ(port.LastOpenError().code, static_cast<uint32_t>(EWOULDBLOCK));
    holder.Close();

    EXPECT_TRUE(AsUserWhoCannotOpen(pty.SlavePath(), [&port] {
        EXPECT_FALSE(port.Open(6));
        EXPECT_EQ(port.LastOpenError().failure, CommOpenFailure::PermissionDenied);
        EXPECT_EQ(port.LastOpenError().code, static_cast<uint32_t>(EACCES));
        EXPECT_EQ(port.LastOpenError().device, DevicePathOfPort(6));
    }));

    chmod(pty.SlavePath().c_str(), 0600);
    ASSERT_TRUE(port.Open(6));
    EXPECT_EQ(port.LastOpenError().failure, CommOpenFailure::None);
}

TEST(OpenErrors, SystemCodesMeanWhatTheUserIsTold) {
    const struct {
        int code;
        CommOpenFailure failure;
    } rows[] = {
        {EACCES, CommOpenFailure::PermissionDenied},
        {EPERM, CommOpenFailure::PermissionDenied},
        {EBUSY, CommOpenFailure::Busy},
        {EWOULDBLOCK, CommOpenFailure::Busy},
        {ENOENT, CommOpenFailure::NoDevice},
        {ENXIO, CommOpenFailure::NoDevice},
        {ENODEV, CommOpenFailure::NoDevice},
        {ENOTTY, CommOpenFailure::NotASerialPort},
        {EIO, CommOpenFailure::Other},
    };
    for (const auto& row : rows) {
        const CommOpenError error = OpenErrorFromSystem(static_cast<uint32_t>(row.code), "/dev/x");
        EXPECT_EQ(error.failure, row.failure) << std::generic_category().message(row.code);
        EXPECT_EQ(error.text, std::generic_category().message(row.code));
        EXPECT_EQ(error.device, "/dev/x");
    }
}

namespace {

/// Runs `body` in a child process as an ordinary user (nobody when we are root: root is
/// never refused with EBUSY); returns the child's id, or -1.
pid_t StartAsOrdinaryUser(const std::function<int()>& body) {
    uid_t uid = geteuid();
    gid_t gid = getegid();
    if (uid == 0) {
        const passwd* nobody = getpwnam("nobody");
        if (nobody == nullptr) {
            return -1;
        }
        uid = nobody->pw_uid;
        gid = nobody->pw_gid;
    }
    const pid_t child = fork();
    if (child == 0) {
        if (getuid() == 0 && (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0)) {
            _exit(3);
        }
        _exit(body());
    }
    return child;
}

}  // namespace

TEST(CommPortOpen, PortIsFreeAgainAfterItsHolderWasKilled) {
    PortDir dir;
    PtyPair pty(dir, 6);
    // The ordinary user must reach the folder and the pty.
    chmod(dir.Path().c_str(), 0755);
    chmod(pty.SlavePath().c_str(), 0666);

    int opened[2];
    ASSERT_EQ(pipe(opened), 0);
    const pid_t holder = StartAsOrdinaryUser([&opened] {
        CommPort port;
        if (!port.Open(6)) {
            return 1;
        }
        const char yes = 'y';
        [[maybe_unused]] const ssize_t told = write(opened[1], &yes, 1);
        pause();  // holds the port until killed
        return 0;
    });
    ASSERT_GT(holder, 0);
    close(opened[1]);
    char answer = 0;
    const ssize_t got = read(opened[0], &answer, 1);  // EOF if the holder failed
    close(opened[0]);
    kill(holder, SIGKILL);
    waitpid(holder, nullptr, 0);
    ASSERT_EQ(got, 1) << "the first process could not open the port";

    const pid_t next = StartAsOrdinaryUser([] {
        CommPort port;
        return port.Open(6) ? 0 : 1;
    });
    ASSERT_GT(next, 0);
    int status = -1;
    ASSERT_EQ(waitpid(next, &status, 0), next);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the next start found the port still taken";
}

TEST(CommHandshake, OneNotificationInFlightAndStopReleases) {
    CommHandshake handshake;
    EXPECT_TRUE(handshake.IsReady());
    EXPECT_TRUE(handshake.Acquire());
    EXPECT_FALSE(handshake.IsReady());

    std::atomic<int> acquired{0};
    std::thread watcher([&] {
        if (handshake.Acquire()) {
            acquired = 1;
        }
        acquired = acquired == 1 ? 1 : -1;
    });
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(acquired.load(), 0);  // still waiting for the first to be handled
    handshake.Release();
    watcher.join();
    EXPECT_EQ(acquired.load(), 1);

    std::thread released([&] { acquired = handshake.Acquire() ? 2 : 3; });
    handshake.Stop();
    released.join();
    EXPECT_EQ(acquired.load(), 3);
    EXPECT_TRUE(handshake.WaitForStop(1h));  // returns at once once stopped

    handshake.Release();
    EXPECT_FALSE(handshake.Acquire());  // stopped wins over ready
    handshake.Restart();
    EXPECT_TRUE(handshake.Acquire());
    EXPECT_FALSE(handshake.WaitForStop(1ms));
}
