#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

#include "config/record_location.h"

std::string SessionRecordFolder() {
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] == '\0') {
        const struct passwd* user = ::getpwuid(::getuid());
        home = user != nullptr ? user->pw_dir : nullptr;
    }
    return SessionRecordFolderFor(std::getenv("XDG_STATE_HOME"), home);
}
