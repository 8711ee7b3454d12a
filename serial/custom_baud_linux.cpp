#include "serial/custom_baud_linux.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

bool SetCustomBaudRate(int fd, uint32_t baud) {
    struct termios2 tio {};
    if (ioctl(fd, TCGETS2, &tio) != 0) {
        return false;
    }
    tio.c_cflag &= ~static_cast<tcflag_t>(CBAUD);
    tio.c_cflag |= BOTHER;
    tio.c_ispeed = baud;
    tio.c_ospeed = baud;
    tio.c_cflag &= ~static_cast<tcflag_t>(CBAUD << IBSHIFT);
    tio.c_cflag |= BOTHER << IBSHIFT;
    return ioctl(fd, TCSETS2, &tio) == 0;
}

uint32_t ReadBaudRate(int fd) {
    struct termios2 tio {};
    if (ioctl(fd, TCGETS2, &tio) != 0) {
        return 0;
    }
    return tio.c_ospeed;
}
