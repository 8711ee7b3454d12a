#pragma once
// The link on scripted ports in memory and a clock the test moves (link_rig.h), wired to a
// recording view: the protocol runs without pseudo-terminals and in clock time, so a wait
// of seconds takes none.

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "data/channel_table.h"
#include "link/device_link.h"
#include "recording_view.h"
#include "serial/tcomm.h"
#include "tests/support/link_rig.h"
#include "tests/support/manual_clock.h"
#include "tests/support/scripted_ports.h"

class LinkFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(folder.Path().empty());
        Relink();
    }

    /// A new link with `commandLine`, in the same folder (a demo's files with
    /// `leaveNoTrace`); the peers stay.
    void Relink(CommandLine commandLine = {}, bool leaveNoTrace = false) {
        clock.SetInputWaiting(nullptr);
        rig.reset();
        rig = std::make_unique<LinkRig>(view, provider, &clock, std::move(commandLine), portDir,
                                        leaveNoTrace);
        link = rig->link.get();
        clock.SetInputWaiting([this] { return rig ? comm().InQueueCount() : 0u; });
    }

    ScriptedPeer& AddPeer(int port, ScriptedPeer::Responder responder = AnalyserReply) {
        return ports.Add(port, std::move(responder));
    }

    /// Opens the port the way the search leaves it for streaming.
    void OpenPort(int port) {
        link->OpenForStream(port);
        ASSERT_TRUE(comm().Connected());
    }

    /// Channel `channel` valid with `value`, through a data line as the analyser sends it.
    void SetChannel(int channel, double value) {
        char line[40];
        std::snprintf(line, sizeof line, "%03dG %.4f;", Channel(channel).parameterNumber, value);
        link->CheckData730(line);
    }

    /// The take-over with `entries` as the window's manual entries.
    bool TakeOver(const ManualEntries& entries = {}) {
        return link->schreibeCSV_Datei([entries] { return entries; });
    }

    TComm& comm() { return rig->comm(); }
    const MeasurementRecord& record() const { return link->Record(); }
    const CommandExchange& exchange() const { return link->Exchanger(); }
    std::string ReadFile(const std::string& name) const { return rig->ReadFile(name); }
    void WriteFile(const std::string& name, const std::string& bytes) const {
        rig->WriteFile(name, bytes);
    }

    // The link goes first, before its ports, its clock and its folder.
    TempDir folder;
    const std::string portDir = folder.Path();
    ManualClock clock;
    ScriptedPorts ports;
    /// The ports the link is made with: the scripted ones unless a test gives others.
    PortProvider* provider = &ports;
    RecordingView view;
    std::unique_ptr<LinkRig> rig;
    DeviceLink* link = nullptr;
};
