#pragma once
#include "link/device_link.h"

/// Marks the link busy for the life of the scope, so that poll ticks arriving inside
/// a wait leave the port's bytes to the waiting exchange.
class DeviceLink::BusyScope {
public:
    explicit BusyScope(DeviceLink& link) : link_(link) { ++link_.busyDepth_; }
    ~BusyScope() {
        if (--link_.busyDepth_ == 0) {
            emit link_.waitEnded();
        }
    }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    DeviceLink& link_;
};
