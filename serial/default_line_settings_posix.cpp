#include "serial/default_line_settings.h"

// There is no system default configuration of a port to copy.
DCB SystemDefaultLineSettings() {
    return DefaultLineSettings();
}
