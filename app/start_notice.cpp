#include "app/start_notice.h"

#include <cstdlib>
#include <string_view>

bool MessageBoxesGoToStderr() {
    const char* mode = std::getenv("FUMILINK_MESSAGE_BOXES");
    return mode != nullptr && std::string_view(mode) == "stderr";
}
