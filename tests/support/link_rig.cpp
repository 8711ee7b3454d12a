#include "tests/support/link_rig.h"

#include "serial/tcomm.h"

LinkRig::LinkRig(LinkView& view) : portDir(ports_.Path()) {
    comm = new TComm(&owner);
    timer1.setInterval(100);
    timer2.setInterval(5000);
    timeouttimer.setInterval(100);
    link = std::make_unique<DeviceLink>(view, record, *comm, timer1, timer2, timeouttimer);
    link->SetSettingsPath(portDir + "/fumilink.ini");
    link->SetDebugLogPath(portDir + "/debug.log");
    timeouttimer.start();
}

LinkRig::~LinkRig() {
    timer1.stop();
    timer2.stop();
    timeouttimer.stop();
    // A test may have ended the link itself already.
    if (link) {
        link->ClosePort();
        link.reset();
    }
}
