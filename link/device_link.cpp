#include "link/device_link.h"

#include "link/qt_link_clock.h"
#include "serial/system_ports.h"
#include "serial/tcomm.h"

namespace {

using std::chrono::milliseconds;

LinkClock& ClockOf(const LinkSetup& setup, std::unique_ptr<LinkClock>& own) {
    if (setup.clock != nullptr) {
        return *setup.clock;
    }
    own = std::make_unique<QtLinkClock>();
    return *own;
}

PortProvider& PortsOf(const LinkSetup& setup) {
    return setup.ports != nullptr ? *setup.ports : SystemPorts::Instance();
}

}  // namespace

DeviceLink::DeviceLink(LinkView& view, LinkSetup setup, QObject* parent)
    : QObject(parent),
      clock_(ClockOf(setup, ownClock_)),
      timer1_(clock_.MakeTimer(milliseconds(100), [this] { Timer1Timer(); })),
      timer2_(clock_.MakeTimer(milliseconds(5000), [this] { Timer2Timer(); })),
      timeouttimer_(clock_.MakeTimer(milliseconds(100), [this] { TimeouttimerTimer(); })),
      comm_(std::make_unique<TComm>(nullptr, PortsOf(setup))),
      exchange_(*comm_, clock_, [this] { emit waitEnded(); }),
      search_(*comm_, exchange_, PortsOf(setup), view, debugLog_, *timer2_, std::move(setup.files)),
      poll_(*comm_, exchange_, search_, record_, view, debugLog_, clock_, {*timer1_, *timer2_}),
      takeOver_(exchange_, poll_, record_, view, debugLog_, clock_, *timer1_,
                std::move(setup.commandLine)) {
    timeouttimer_->Start();
    if (setup.meanSwitch) {
        poll_.SetMeanSwitch(setup.meanSwitch);
    }
}

DeviceLink::~DeviceLink() {
    // The timers first: none may call into a part that is going.
    timer1_->Stop();
    timer2_->Stop();
    timeouttimer_->Stop();
}

void DeviceLink::OpenForStream(int32_t port) {
    search_.UsePort(port);
    search_.OpenDevicePort();
}
