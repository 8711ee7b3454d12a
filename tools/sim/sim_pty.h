#pragma once
// The pseudo-terminal behind one simulated port and the COM<n> link that makes it look
// like a serial port. POSIX only: the simulator is a development tool for Linux.

#include <string>

/// One pty pair. The simulator keeps its own slave descriptor open for the pty's whole
/// life: then the program may close and reopen the slave as often as it likes without the
/// master ever seeing a hang-up. That descriptor is never read.
struct SimPty {
    int master = -1;        ///< non-blocking; the simulator reads and writes here
    int slave = -1;         ///< held open only, never read
    std::string slavePath;  ///< e.g. /dev/pts/7
};

/// Opens a pty pair in raw mode (no echo, no CR/NL translation, 8 bits, 9600 baud), so
/// the program may write before it has made its own settings. Returns false with `error`.
bool OpenRawPty(SimPty& pty, std::string& error);

/// Closes both descriptors; the program's side then sees a hang-up. Safe to call twice.
void CloseSimPty(SimPty& pty);

/// True when something (link, file, dangling link) exists at `path`.
bool PathExists(const std::string& path);

/// True when `path` is an existing directory.
bool IsDirectory(const std::string& path);

/// Creates the link `linkPath` -> `target`; fails if `linkPath` exists.
bool CreatePortLink(const std::string& target, const std::string& linkPath, std::string& error);

/// Removes `linkPath` if it is a link to `target` (never someone else's file).
void RemovePortLink(const std::string& target, const std::string& linkPath);
