#pragma once
// A pseudo-terminal pair standing in for a serial port and the device at its other end.
// The slave is reachable as COM<n> through a link in a temporary folder that
// FUMILINK_PORT_DIR points at, so TComm opens it like any port.

#include <chrono>
#include <cstdint>
#include <string>

#include "tests/support/temp_dir.h"

/// Temporary port folder, set as FUMILINK_PORT_DIR for the life of the object.
class PortDir {
public:
    PortDir();
    ~PortDir();
    PortDir(const PortDir&) = delete;
    PortDir& operator=(const PortDir&) = delete;
    const std::string& Path() const { return dir_.Path(); }

private:
    TempDir dir_;
};

/// One pty pair, its slave raw and linked as `folder`/COM<port>.
class PtyPair {
public:
    PtyPair(const std::string& folder, int port);
    PtyPair(const PortDir& dir, int port) : PtyPair(dir.Path(), port) {}
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    /// The device side: what the analyser would send.
    void DeviceWrite(const std::string& bytes);
    /// Everything the device side can read within `deadline`, stopping once `expected`
    /// bytes have come.
    std::string DeviceRead(size_t expected,
                           std::chrono::milliseconds deadline = std::chrono::seconds(10));
    /// The device disappears: closes the master (and the test's own slave descriptor).
    void HangUp();
    /// The port disappears from the folder.
    void RemoveLink();
    /// The device side's descriptor, for a test that reads it from its event loop.
    int MasterFd() const { return master_; }
    /// The test's own descriptor of the slave, for looking at its termios; it keeps the
    /// tty alive while the program closes and reopens it.
    int SlaveFd() const { return slave_; }
    const std::string& SlavePath() const { return slavePath_; }

private:
    int master_ = -1;
    int slave_ = -1;
    std::string slavePath_;
    std::string link_;
};
