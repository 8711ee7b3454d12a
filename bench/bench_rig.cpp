#include "bench/bench_rig.h"

#include <QEventLoop>

#include <cstdio>
#include <cstdlib>

#include "serial/tcomm.h"

LinkRig::LinkRig() {
    portDir_ = dir_.path().toStdString();
    setenv("FUMILINK_PORT_DIR", portDir_.c_str(), 1);
    comm = new TComm(&owner);
    timer1.setInterval(100);
    timer2.setInterval(5000);
    timeouttimer.setInterval(100);
    link = std::make_unique<DeviceLink>(view, record, *comm, timer1, timer2, timeouttimer);
    link->SetSettingsPath(portDir_ + "/fumilink.ini");
    link->SetDebugLogPath(portDir_ + "/debug.log");
    timeouttimer.start();
}

LinkRig::~LinkRig() {
    timer1.stop();
    timer2.stop();
    timeouttimer.stop();
    link->ClosePort();
    link.reset();
    unsetenv("FUMILINK_PORT_DIR");
}

void RunFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

bool RunUntil(const std::function<bool()>& done, int ms, int checkMs) {
    if (done()) {
        return true;
    }
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done()) {
            loop.quit();
        }
    });
    check.start(checkMs);
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
    return done();
}

void Figure(const std::string& name, double value, const std::string& unit, int decimals) {
    std::printf("%s = %.*f %s\n", name.c_str(), decimals, value, unit.c_str());
    std::fflush(stdout);
}

void Count(const std::string& name, unsigned long long value, const std::string& unit) {
    std::printf("%s = %llu %s\n", name.c_str(), value, unit.c_str());
    std::fflush(stdout);
}

void Note(const std::string& name, const std::string& text) {
    std::printf("%s = %s\n", name.c_str(), text.c_str());
    std::fflush(stdout);
}
