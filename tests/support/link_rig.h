#pragma once
// A device link wired as the main window wires it (the three timers at their intervals,
// a real TComm, the window reached through a LinkView), on a private port folder that
// FUMILINK_PORT_DIR points at. Shared by the link tests and the benchmarks.

#include <QObject>
#include <QTimer>

#include <memory>
#include <string>

#include "data/measurement.h"
#include "link/device_link.h"
#include "tests/support/pty_pair.h"
#include "tests/support/temp_dir.h"

class TComm;

class LinkRig {
public:
    /// Creates the port folder, points FUMILINK_PORT_DIR at it and starts the timeout
    /// timer, as creating the main window does. Check Valid() afterwards.
    explicit LinkRig(LinkView& view);
    ~LinkRig();
    LinkRig(const LinkRig&) = delete;
    LinkRig& operator=(const LinkRig&) = delete;

    bool Valid() const { return !portDir.empty(); }

    std::string ReadFile(const std::string& name) const { return ReadBytes(portDir + "/" + name); }
    void WriteFile(const std::string& name, const std::string& bytes) const {
        WriteBytes(portDir + "/" + name, bytes);
    }

private:
    PortDir ports_;

public:
    const std::string portDir;
    MeasurementRecord record;
    QObject owner;
    TComm* comm = nullptr;  // owned by `owner`
    QTimer timer1;          // poll, 100 ms
    QTimer timer2;          // retry, 5 s
    QTimer timeouttimer;    // timeout countdown, 100 ms
    std::unique_ptr<DeviceLink> link;
};
