// The built program as a second copy: it says that the first one runs, in the user's
// language, and ends with exit code 0; other file names and crashed first copies do not
// hold it back.

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/temp_dir.h"

namespace {

using Clock = std::chrono::steady_clock;

/// A started copy of the program with its standard error on a pipe.
struct Copy {
    pid_t pid = -1;
    int stderrFd = -1;
};

class ProgramStart : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(dir.Path().empty());
        std::filesystem::create_directory(dir.File("ports"));
        std::filesystem::create_directory(dir.File("runtime"));
    }

    void TearDown() override {
        for (Copy& copy : started) {
            if (copy.pid > 0) {
                kill(copy.pid, SIGKILL);
                waitpid(copy.pid, nullptr, 0);
            }
            if (copy.stderrFd >= 0) {
                close(copy.stderrFd);
            }
        }
    }

    /// Starts `program` headless, with a private port folder and lock folder, the locale
    /// variables given (all others of LC_ALL, LC_MESSAGES, LANG unset) and `arguments`.
    Copy Start(const std::string& program, const std::map<std::string, std::string>& locale,
               const std::vector<std::string>& arguments = {}) {
        std::vector<const char*> argv = {program.c_str()};
        for (const std::string& argument : arguments) {
            argv.push_back(argument.c_str());
        }
        argv.push_back(nullptr);
        int pipeFds[2];
        if (pipe(pipeFds) != 0) {
            return {};
        }
        const pid_t pid = fork();
        if (pid == 0) {
            dup2(pipeFds[1], STDERR_FILENO);
            close(pipeFds[0]);
            close(pipeFds[1]);
            if (chdir(dir.Path().c_str()) != 0) {
                _exit(126);
            }
            setenv("QT_QPA_PLATFORM", "offscreen", 1);
            setenv("FUMILINK_MESSAGE_BOXES", "stderr", 1);
            setenv("FUMILINK_PORT_DIR", dir.File("ports").c_str(), 1);
            setenv("XDG_RUNTIME_DIR", dir.File("runtime").c_str(), 1);
            for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
                unsetenv(name);
            }
            for (const auto& [name, value] : locale) {
                setenv(name.c_str(), value.c_str(), 1);
            }
            execv(program.c_str(), const_cast<char* const*>(argv.data()));
            _exit(127);
        }
        close(pipeFds[1]);
        started.push_back({pid, pipeFds[0]});
        return started.back();
    }

    /// Waits for a copy to end; returns its exit status and what it wrote on stderr.
    static std::pair<int, std::string> Finish(Copy& copy, std::chrono::seconds limit) {
        std::string text;
        const auto deadline = Clock::now() + limit;
        int status = -1;
        fcntl(copy.stderrFd, F_SETFL, O_NONBLOCK);
        while (Clock::now() < deadline) {
            char buffer[512];
            ssize_t n;
            while ((n = read(copy.stderrFd, buffer, sizeof buffer)) > 0) {
                text.append(buffer, static_cast<size_t>(n));
            }
            if (waitpid(copy.pid, &status, WNOHANG) == copy.pid) {
                copy.pid = -1;
                while ((n = read(copy.stderrFd, buffer, sizeof buffer)) > 0) {
                    text.append(buffer, static_cast<size_t>(n));
                }
                return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, text};
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return {-2, text};
    }

    /// True once some process holds the guard lock of `fileName`.
    bool GuardHeld(const std::string& fileName) const {
        const std::string path = dir.File("runtime/" + fileName + ".lock");
        const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            return false;
        }
        const bool held = flock(fd, LOCK_EX | LOCK_NB) != 0;
        if (!held) {
            flock(fd, LOCK_UN);
        }
        close(fd);
        return held;
    }

    bool WaitForGuard(const std::string& fileName) const {
        const auto deadline = Clock::now() + std::chrono::seconds(20);
        while (Clock::now() < deadline) {
            if (GuardHeld(fileName)) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }

    TempDir dir;
    std::vector<Copy> started;
    const std::string program = FUMILINK_PROGRAM_PATH;
};

}  // namespace

TEST_F(ProgramStart, SecondCopySaysSoInTheUsersLanguageAndEndsWithZero) {
    Start(program, {});
    ASSERT_TRUE(WaitForGuard("fumilink"));

    const struct {
        std::map<std::string, std::string> locale;
        std::string message;
    } cases[] = {
        {{{"LANG", "de_DE.UTF-8"}}, "Programm läuft schon auf diesem Arbeitsplatz!"},
        {{{"LANG", "en_US.UTF-8"}}, "Program is already running!"},
        {{{"LANG", "it_IT.UTF-8"}}, "Programma già che funziona!"},
        {{{"LANG", "sv_SE.UTF-8"}}, "Program is already running!"},
        {{{"LANG", "fr_FR.UTF-8"}}, "Program already running!"},
        {{}, "Program already running!"},
        {{{"LANG", "de_DE.UTF-8"}, {"LC_ALL", "it_IT.UTF-8"}}, "Programma già che funziona!"},
        {{{"LANG", "en_US.UTF-8"}, {"LC_MESSAGES", "de_DE@euro"}},
         "Programm läuft schon auf diesem Arbeitsplatz!"},
    };
    for (const auto& c : cases) {
        Copy second = Start(program, c.locale);
        const auto [code, text] = Finish(second, std::chrono::seconds(20));
        EXPECT_EQ(code, 0) << c.message;
        EXPECT_EQ(text, c.message + "\n");
    }
    EXPECT_TRUE(GuardHeld("fumilink")) << "the first copy runs on undisturbed";
}

TEST_F(ProgramStart, CopyUnderAnotherFileNameStartsBesideTheFirst) {
    const std::string renamed = dir.File("fumilink-zwei");
    std::filesystem::copy_file(program, renamed);
    std::filesystem::permissions(renamed, std::filesystem::perms::owner_all);
    Start(program, {});
    ASSERT_TRUE(WaitForGuard("fumilink"));
    Start(renamed, {{"LANG", "de_DE.UTF-8"}});
    EXPECT_TRUE(WaitForGuard("fumilink-zwei"));
}

TEST_F(ProgramStart, NewCopyStartsAfterTheFirstWasKilled) {
    Copy first = Start(program, {});
    ASSERT_TRUE(WaitForGuard("fumilink"));
    kill(first.pid, SIGKILL);
    waitpid(first.pid, nullptr, 0);
    started.front().pid = -1;

    Copy next = Start(program, {{"LANG", "de_DE.UTF-8"}});
    EXPECT_TRUE(WaitForGuard("fumilink"));
    // It runs, rather than refusing: a third copy is the one that is refused.
    Copy third = Start(program, {{"LANG", "en_US.UTF-8"}});
    const auto [code, text] = Finish(third, std::chrono::seconds(20));
    EXPECT_EQ(code, 0);
    EXPECT_EQ(text, "Program is already running!\n");
    EXPECT_GT(next.pid, 0);
    EXPECT_EQ(kill(next.pid, 0), 0) << "the new copy is still running";
}

TEST_F(ProgramStart, ToolkitOptionsOnTheCommandLineAreTheCallersArguments) {
    // QApplication would take "-platform X" for itself and end the program on the unknown
    // platform; as the caller's header it must reach the program, which then starts and
    // searches its ports (here one pty as COM5).
    int master = -1;
    int slave = -1;
    ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    ASSERT_EQ(symlink(ttyname(slave), dir.File("ports/COM5").c_str()), 0);

    Copy copy = Start(program, {}, {"-platform", "nosuchplatform", "out.csv"});
    std::string received;
    const auto deadline = Clock::now() + std::chrono::seconds(30);
    while (received.empty() && Clock::now() < deadline) {
        pollfd in{master, POLLIN, 0};
        if (poll(&in, 1, 100) > 0 && (in.revents & POLLIN) != 0) {
            char buffer[64];
            const ssize_t n = read(master, buffer, sizeof buffer);
            if (n > 0) {
                received.append(buffer, static_cast<size_t>(n));
            }
        }
        if (waitpid(copy.pid, nullptr, WNOHANG) == copy.pid) {
            started.back().pid = -1;
            break;
        }
    }
    EXPECT_FALSE(received.empty()) << "the program did not get as far as its port search";
    EXPECT_NE(started.back().pid, -1) << "the program ended";
    close(slave);
    close(master);
}
