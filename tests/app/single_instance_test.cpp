#include "app/single_instance.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "tests/support/temp_dir.h"

namespace {

/// A forked process that takes the guard of `fileName` and keeps it until killed. Its
/// first byte through the pipe says whether it got the guard ('1') or not ('0').
class GuardHolder {
public:
    explicit GuardHolder(const std::string& fileName) {
        int fds[2];
        if (::pipe(fds) != 0) {
            return;
        }
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(fds[0]);
            SingleInstanceGuard guard(fileName);
            char answer = guard.Acquire() ? '1' : '0';
            (void)!::write(fds[1], &answer, 1);
            for (;;) {
                ::pause();
            }
        }
        ::close(fds[1]);
        readFd_ = fds[0];
    }
    ~GuardHolder() {
        Kill();
        if (readFd_ >= 0) {
            ::close(readFd_);
        }
    }

    /// The child's answer; 'x' when it gave none within a generous deadline.
    char Answer() {
        pollfd entry{readFd_, POLLIN, 0};
        char answer = 'x';
        if (readFd_ >= 0 && ::poll(&entry, 1, 30000) == 1 && ::read(readFd_, &answer, 1) == 1) {
            return answer;
        }
        return 'x';
    }

    /// SIGKILL: no destructor, no clean-up in the child; only the kernel releases the lock.
    void Kill() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
    }

private:
    pid_t pid_ = -1;
    int readFd_ = -1;
};

class SingleInstanceGuardTest : public ::testing::Test {
protected:
    void SetUp() override { setenv("XDG_RUNTIME_DIR", runtime_.Path().c_str(), 1); }
    TempDir runtime_;
};

}  // namespace

TEST_F(SingleInstanceGuardTest, SecondCopyIsRefusedUntilTheFirstDiesEvenByKill) {
    GuardHolder first("fumilink.exe");
    ASSERT_EQ(first.Answer(), '1');

    SingleInstanceGuard second("fumilink.exe");
    EXPECT_FALSE(second.Acquire());
    EXPECT_FALSE(second.Held());
    GuardHolder third("fumilink.exe");
    EXPECT_EQ(third.Answer(), '0');

    first.Kill();
    EXPECT_TRUE(second.Acquire());
    EXPECT_TRUE(second.Held());
    GuardHolder fourth("fumilink.exe");
    EXPECT_EQ(fourth.Answer(), '0');  // now this process is the first copy
}

TEST_F(SingleInstanceGuardTest, OtherFileNamesDoNotExcludeEachOther) {
    GuardHolder first("fumilink.exe");
    ASSERT_EQ(first.Answer(), '1');
    SingleInstanceGuard renamed("fumilink2.exe");
    EXPECT_TRUE(renamed.Acquire());
    EXPECT_TRUE(renamed.Held());
    GuardHolder same("fumilink.exe");
    EXPECT_EQ(same.Answer(), '0');
}

TEST_F(SingleInstanceGuardTest, ReleaseAndDestructionLetTheNextCopyStart) {
    {
        SingleInstanceGuard guard("fumilink.exe");
        ASSERT_TRUE(guard.Acquire());
        GuardHolder blocked("fumilink.exe");
        EXPECT_EQ(blocked.Answer(), '0');
        // A forked child shares the parent's open lock file until it execs or ends (the
        // program's own children exec, and the descriptor is close-on-exec).
        blocked.Kill();
        guard.Release();
        EXPECT_FALSE(guard.Held());
        GuardHolder next("fumilink.exe");
        EXPECT_EQ(next.Answer(), '1');
        next.Kill();
        ASSERT_TRUE(guard.Acquire());
    }
    GuardHolder afterDestruction("fumilink.exe");
    EXPECT_EQ(afterDestruction.Answer(), '1');
}

TEST_F(SingleInstanceGuardTest, ProgramsStartedByTheFirstCopyDoNotInheritTheGuard) {
    SingleInstanceGuard guard("fumilink.exe");
    ASSERT_TRUE(guard.Acquire());
    // The pipe's write end closes on exec: end of file says the child has exec'd.
    int execDone[2];
    ASSERT_EQ(::pipe2(execDone, O_CLOEXEC), 0);
    pid_t started = ::fork();
    if (started == 0) {
        ::execl("/bin/sleep", "sleep", "60", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ASSERT_GT(started, 0);
    ::close(execDone[1]);
    pollfd entry{execDone[0], POLLIN, 0};
    char ignored = 0;
    ASSERT_EQ(::poll(&entry, 1, 30000), 1);
    ASSERT_EQ(::read(execDone[0], &ignored, 1), 0);
    ::close(execDone[0]);
    guard.Release();  // the first copy ends while the program it started runs on
    GuardHolder next("fumilink.exe");
    char answer = next.Answer();
    ::kill(started, SIGKILL);
    ::waitpid(started, nullptr, 0);
    EXPECT_EQ(answer, '1');
}

TEST_F(SingleInstanceGuardTest, PlantedLinkIsNotFollowedAndCountsAsFirstCopy) {
    TempDir elsewhere;
    const std::string target = elsewhere.File("victim");
    std::filesystem::create_symlink(target, runtime_.File("fumilink.exe.lock"));
    SingleInstanceGuard guard("fumilink.exe");
    EXPECT_TRUE(guard.Acquire());
    EXPECT_FALSE(guard.Held());
    EXPECT_FALSE(std::filesystem::exists(target));
}

TEST(SingleInstanceGuardFallback, WithoutRuntimeFolderUsesAPrivateFolderInTmp) {
    unsetenv("XDG_RUNTIME_DIR");
    const std::string name = "fumilink-test-" + std::to_string(::getpid()) + ".exe";
    GuardHolder first(name);
    ASSERT_EQ(first.Answer(), '1');
    SingleInstanceGuard second(name);
    EXPECT_FALSE(second.Acquire());

    const std::string folder = "/tmp/fumilink-" + std::to_string(::getuid());
    struct stat info {};
    ASSERT_EQ(::lstat(folder.c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    EXPECT_EQ(info.st_uid, ::getuid());
    EXPECT_EQ(info.st_mode & 077, 0u);
    first.Kill();
    std::filesystem::remove(folder + "/" + name + ".lock");
}
