#include "tests/support/link_rig.h"

#include "serial/tcomm.h"

namespace {

std::string FolderOf(std::optional<PortDir>& own, const std::string& given) {
    if (!given.empty()) {
        return given;
    }
    own.emplace();
    return own->Path();
}

}  // namespace

LinkRig::LinkRig(LinkView& view, PortProvider* ports, LinkClock* clock, CommandLine commandLine,
                 const std::string& folder, bool leaveNoTrace)
    : portDir(FolderOf(folder_, folder)) {
    LinkSetup setup;
    setup.ports = ports;
    setup.clock = clock;
    setup.commandLine = std::move(commandLine);
    setup.files = {portDir + "/fumilink.ini", portDir + "/debug.log", leaveNoTrace};
    link = std::make_unique<DeviceLink>(view, std::move(setup));
}

LinkRig::~LinkRig() {
    // A test may have ended the link itself already.
    if (link) {
        link->ClosePort();
        link.reset();
    }
}
