#pragma once
// A link wired to a recording view, real timers and a real TComm on pseudo-terminals
// in a private port folder.

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdlib>
#include <functional>
#include <memory>

#include "link/device_link.h"
#include "recording_view.h"
#include "scripted_peer.h"
#include "serial/tcomm.h"
#include "wait_until.h"

class LinkFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        portDir = dir.path().toStdString();
        setenv("FUMILINK_PORT_DIR", portDir.c_str(), 1);
        comm = new TComm(&owner);
        timer1.setInterval(100);
        timer2.setInterval(5000);
        timeouttimer.setInterval(100);
        link = std::make_unique<DeviceLink>(view, record, *comm, timer1, timer2, timeouttimer);
        link->SetSettingsPath(portDir + "/fumilink.ini");
        link->SetDebugLogPath(portDir + "/debug.log");
        timeouttimer.start();
    }

    void TearDown() override {
        link.reset();
        unsetenv("FUMILINK_PORT_DIR");
    }

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

    std::string ReadFile(const std::string& name) const;
    void WriteFile(const std::string& name, const std::string& bytes) const;

    QTemporaryDir dir;
    std::string portDir;
    QObject owner;
    TComm* comm = nullptr;
    QTimer timer1, timer2, timeouttimer;
    RecordingView view;
    MeasurementRecord record;
    std::unique_ptr<DeviceLink> link;
    std::vector<std::unique_ptr<ScriptedPeer>> peers;
};
