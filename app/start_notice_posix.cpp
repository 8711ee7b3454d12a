#include <cstdio>
#include <cstdlib>

#include "app/start_notice.h"

namespace {

bool IsSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && value[0] != '\0';
}

}  // namespace

bool CanShowMessageBox() {
    return IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY") || IsSet("QT_QPA_PLATFORM");
}

std::string ToolkitFailure() {
    if (IsSet("QT_QPA_PLATFORM")) {
        return std::string("cannot open a window: the platform QT_QPA_PLATFORM=") +
               std::getenv("QT_QPA_PLATFORM") + " cannot be started";
    }
    for (const char* name : {"WAYLAND_DISPLAY", "DISPLAY"}) {
        if (IsSet(name)) {
            return std::string("cannot open a window: the display ") + name + "=" +
                   std::getenv(name) + " cannot be reached";
        }
    }
    return "cannot open a window: no display (DISPLAY and WAYLAND_DISPLAY are not set)";
}

void ShowProgramInfo(const std::string& /*title*/, const std::string& text) {
    std::fputs(text.c_str(), stdout);
    std::fflush(stdout);
}
