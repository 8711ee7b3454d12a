#include "config/record_location.h"

std::string SessionRecordFolderFor(const char* xdgStateHome, const char* home) {
    std::string stateHome;
    // The XDG base directory rules ignore a relative path.
    if (xdgStateHome != nullptr && xdgStateHome[0] == '/') {
        stateHome = xdgStateHome;
    } else if (home != nullptr && home[0] != '\0') {
        stateHome = std::string(home) + "/.local/state";
    } else {
        return {};
    }
    return stateHome + "/fumilink/logs";
}
