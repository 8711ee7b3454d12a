#pragma once
// A device link wired as the main window wires it (its three timers, a real TComm, the
// window reached through a LinkView), with its settings file and debug log in a private
// folder. Two ways to run it:
// - on ports and a clock of the test's (ScriptedPorts or the demo's, and a ManualClock):
//   the protocol in memory and in clock time, for the link's own tests;
// - on the system's ports and Qt's clock (both null): the port folder is then where
//   FUMILINK_PORT_DIR points, and real bytes go through pseudo-terminals in real time, for
//   the end-to-end tests and the benchmarks.
// Shared by the link tests and the benchmarks.

#include <memory>
#include <optional>
#include <string>

#include "link/device_link.h"
#include "tests/support/pty_pair.h"
#include "tests/support/temp_dir.h"

class TComm;

class LinkRig {
public:
    /// Makes the folder, points FUMILINK_PORT_DIR at it (where the system's ports are looked
    /// for when `ports` is null), and makes the link. With `folder` the link's files go there
    /// instead (a folder that outlives the rig). `leaveNoTrace` makes the link's files a
    /// demo's (PortSearch::Files). The time-out timer runs from now on, as creating the main
    /// window starts it. Check Valid() afterwards.
    LinkRig(LinkView& view, PortProvider* ports, LinkClock* clock, CommandLine commandLine = {},
            const std::string& folder = {}, bool leaveNoTrace = false);
    ~LinkRig();
    LinkRig(const LinkRig&) = delete;
    LinkRig& operator=(const LinkRig&) = delete;

    bool Valid() const { return !portDir.empty(); }
    TComm& comm() { return link->Comm(); }

    std::string ReadFile(const std::string& name) const { return ReadBytes(portDir + "/" + name); }
    void WriteFile(const std::string& name, const std::string& bytes) const {
        WriteBytes(portDir + "/" + name, bytes);
    }

private:
    std::optional<PortDir> folder_;

public:
    const std::string portDir;
    std::unique_ptr<DeviceLink> link;
};
