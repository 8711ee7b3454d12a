#pragma once
// The link rig wired to a recording view, with scripted analysers on pseudo-terminals in
// its port folder.

#include <gtest/gtest.h>
#include <QTimer>

#include <memory>
#include <string>
#include <vector>

#include "link/device_link.h"
#include "recording_view.h"
#include "scripted_peer.h"
#include "serial/tcomm.h"
#include "tests/support/link_rig.h"
#include "tests/support/waits.h"

class LinkFixture : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(rig.Valid()); }

    ScriptedPeer& AddPeer(int port, ScriptedPeer::Responder responder = AnalyserReply) {
        peers.push_back(std::make_unique<ScriptedPeer>(portDir, port));
        peers.back()->SetResponder(std::move(responder));
        return *peers.back();
    }

    /// Opens the port the way the search leaves it for streaming.
    void OpenPort(int port) {
        link->state.portNumber = port;
        link->OpenDevicePort();
        ASSERT_TRUE(comm->Connected());
        link->state.connected = true;
    }

    std::string ReadFile(const std::string& name) const { return rig.ReadFile(name); }
    void WriteFile(const std::string& name, const std::string& bytes) const {
        rig.WriteFile(name, bytes);
    }

    // The peers go last, after the link has closed its ports.
    std::vector<std::unique_ptr<ScriptedPeer>> peers;
    RecordingView view;
    LinkRig rig{view};
    const std::string& portDir = rig.portDir;
    MeasurementRecord& record = rig.record;
    TComm* const comm = rig.comm;
    QTimer& timer1 = rig.timer1;
    QTimer& timer2 = rig.timer2;
    QTimer& timeouttimer = rig.timeouttimer;
    std::unique_ptr<DeviceLink>& link = rig.link;
};
