#pragma once
// Rates that termios has no B-constant for (14400, 56000, 128000, 256000, ...) are set
// through Linux's termios2 interface. Its header clashes with <termios.h>, hence a file
// of its own.

#include <cstdint>

/// Sets input and output speed of tty `fd` to `baud` bits per second; false on failure.
bool SetCustomBaudRate(int fd, uint32_t baud);

/// The output speed of tty `fd` in bits per second as termios2 reports it; 0 on failure.
uint32_t ReadBaudRate(int fd);
