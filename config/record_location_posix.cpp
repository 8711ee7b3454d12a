#include "config/record_location.h"
#include "config/xdg_folders_posix.h"

std::string SessionRecordFolder() {
    // Logs are state: what a program keeps between runs that is not worth backing up.
    const std::string stateHome = XdgFolder("XDG_STATE_HOME", ".local/state");
    return stateHome.empty() ? std::string() : stateHome + "/fumilink/logs";
}
