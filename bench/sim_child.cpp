#include "bench/sim_child.h"

#include <cstdlib>

SimChild::SimChild(const std::string& portDir, const QStringList& arguments)
    : logPath_(portDir + "/sim.log") {
    const char* override = std::getenv("FUMILINK_SIM");
    const QString program =
        override != nullptr ? QString::fromLocal8Bit(override) : QStringLiteral(FUMILINK_SIM_PATH);
    QStringList all = arguments;
    all << "--port-dir" << QString::fromStdString(portDir) << "--log"
        << QString::fromStdString(logPath_);
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start(program, all);
    if (!process_.waitForStarted(10000)) {
        problem_ = "cannot start " + program.toStdString();
        return;
    }
    QByteArray out;
    while (!out.contains('\n') && process_.waitForReadyRead(10000)) {
        out += process_.readAll();
    }
    ready_ = out.startsWith("READY");
    if (!ready_) {
        problem_ = program.toStdString() + " did not report READY: " + out.toStdString();
    }
}

SimChild::~SimChild() {
    Stop();
}

void SimChild::Stop() {
    if (process_.state() != QProcess::NotRunning) {
        process_.terminate();
        if (!process_.waitForFinished(10000)) {
            process_.kill();
            process_.waitForFinished(10000);
        }
    }
}
