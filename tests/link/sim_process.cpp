#include "sim_process.h"

#include <fstream>
#include <sstream>

SimProcess::SimProcess(const std::string& portDir, const QStringList& arguments)
    : logPath_(portDir + "/sim.log") {
    QStringList all = arguments;
    all << "--port-dir" << QString::fromStdString(portDir) << "--log"
        << QString::fromStdString(logPath_);
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start(QStringLiteral(FUMILINK_SIM_PATH), all);
    if (!process_.waitForStarted(10000)) {
        return;
    }
    QByteArray out;
    while (!out.contains('\n') && process_.waitForReadyRead(10000)) {
        out += process_.readAll();
    }
    ready_ = out.startsWith("READY");
}

SimProcess::~SimProcess() {
    Stop();
}

void SimProcess::Stop() {
    if (process_.state() != QProcess::NotRunning) {
        process_.terminate();
        if (!process_.waitForFinished(10000)) {
            process_.kill();
            process_.waitForFinished(10000);
        }
    }
}

std::string SimProcess::Log() const {
    std::ifstream file(logPath_);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

int SimProcess::Received(int port, const std::string& command) const {
    const std::string needle = "COM" + std::to_string(port) + " RX \"" + command + "\"";
    const std::string log = Log();
    int count = 0;
    for (size_t at = log.find(needle); at != std::string::npos; at = log.find(needle, at + 1)) {
        ++count;
    }
    return count;
}

int SimProcess::ReceivedAny(int port) const {
    const std::string needle = "COM" + std::to_string(port) + " RX ";
    const std::string log = Log();
    int count = 0;
    for (size_t at = log.find(needle); at != std::string::npos; at = log.find(needle, at + 1)) {
        ++count;
    }
    return count;
}
