// fumilink-render draws the windows for people to look at; it must never talk to a
// serial port (it once ran the real first poll tick, which searched the machine's ports).

#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include "tests/support/sim_process.h"

namespace {

TEST(RenderTool, DrawsEveryStateWithoutTouchingAPort) {
    QTemporaryDir ports;
    QTemporaryDir out;
    ASSERT_TRUE(ports.isValid() && out.isValid());
    SimProcess sim(ports.path().toStdString(), {"--port", "5"});
    ASSERT_TRUE(sim.Ready());

    QProcess render;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("FUMILINK_PORT_DIR"), ports.path());
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    render.setProcessEnvironment(environment);
    render.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    render.start(QStringLiteral(FUMILINK_RENDER), {out.path()});
    ASSERT_TRUE(render.waitForFinished(120000));
    EXPECT_EQ(render.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(render.exitCode(), 0);

    for (const char* name :
         {"formmain_start.png", "formmain_values.png", "form1_start.png", "form1_page3.png"}) {
        EXPECT_TRUE(QDir(out.path()).exists(QString::fromLatin1(name))) << name;
    }
    EXPECT_EQ(sim.ReceivedAny(5), 0) << sim.Log();
}

}  // namespace
