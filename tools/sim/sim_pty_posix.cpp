#include "tools/sim/sim_pty.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace {
std::string ErrnoText(const std::string& what) {
    return what + ": " + std::strerror(errno);
}
}  // namespace

bool OpenRawPty(SimPty& pty, std::string& error) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0) {
        error = ErrnoText("posix_openpt");
        return false;
    }
    const char* name = nullptr;
    if (grantpt(master) != 0 || unlockpt(master) != 0 || (name = ptsname(master)) == nullptr) {
        error = ErrnoText("preparing the pty");
        close(master);
        return false;
    }
    const std::string slavePath = name;
    const int slave = open(slavePath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0) {
        error = ErrnoText("opening " + slavePath);
        close(master);
        return false;
    }
    termios tio{};
    if (tcgetattr(slave, &tio) != 0) {
        error = ErrnoText("tcgetattr " + slavePath);
        close(slave);
        close(master);
        return false;
    }
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    cfsetispeed(&tio, B9600);
    cfsetospeed(&tio, B9600);
    if (tcsetattr(slave, TCSANOW, &tio) != 0) {
        error = ErrnoText("tcsetattr " + slavePath);
        close(slave);
        close(master);
        return false;
    }
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    fcntl(master, F_SETFD, FD_CLOEXEC);
    pty.master = master;
    pty.slave = slave;
    pty.slavePath = slavePath;
    return true;
}

void CloseSimPty(SimPty& pty) {
    if (pty.slave >= 0) {
        close(pty.slave);
        pty.slave = -1;
    }
    if (pty.master >= 0) {
        close(pty.master);
        pty.master = -1;
    }
}

bool PathExists(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

bool IsDirectory(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool CreatePortLink(const std::string& target, const std::string& linkPath, std::string& error) {
    if (symlink(target.c_str(), linkPath.c_str()) != 0) {
        error = ErrnoText("creating link " + linkPath);
        return false;
    }
    return true;
}

void RemovePortLink(const std::string& target, const std::string& linkPath) {
    std::vector<char> buffer(4096);
    const ssize_t n = readlink(linkPath.c_str(), buffer.data(), buffer.size() - 1);
    if (n > 0 && std::string(buffer.data(), static_cast<size_t>(n)) == target) {
        unlink(linkPath.c_str());
    }
}
