#pragma once
// What the settings tests start from: fields as an earlier search left them, which a
// failed load must not touch.

#include "config/settings.h"

inline Settings Remembered() {
    Settings settings;
    settings.portNumber = 3;
    settings.identification = "before";
    settings.so2Key = "2204";
    return settings;
}
