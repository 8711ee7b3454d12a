#pragma once
// A device link wired as the main window wires it (the three timers at their intervals,
// the serial component, the window reached through LinkView), on a private port folder,
// with figures printed as "name = value unit" lines.

#include <QObject>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>
#include <memory>
#include <string>

#include "bench/bench_view.h"
#include "data/measurement.h"
#include "link/device_link.h"

class TComm;

class LinkRig {
public:
    /// Creates the port folder, points FUMILINK_PORT_DIR at it and starts the timeout
    /// timer, as creating the main window does. Check Valid() afterwards.
    LinkRig();
    ~LinkRig();
    LinkRig(const LinkRig&) = delete;
    LinkRig& operator=(const LinkRig&) = delete;

    bool Valid() const { return dir_.isValid(); }
    const std::string& PortDir() const { return portDir_; }

    BenchView view;
    MeasurementRecord record;
    QObject owner;
    TComm* comm = nullptr;  // owned by `owner`
    QTimer timer1;          // poll, 100 ms
    QTimer timer2;          // retry, 5 s
    QTimer timeouttimer;    // timeout countdown, 100 ms
    std::unique_ptr<DeviceLink> link;

private:
    QTemporaryDir dir_;
    std::string portDir_;
};

/// Runs the event loop for `ms` milliseconds; it sleeps while nothing happens.
void RunFor(int ms);

/// Runs the event loop until `done` holds (checked every `checkMs`) or `ms` passed.
/// Returns done().
bool RunUntil(const std::function<bool()>& done, int ms, int checkMs = 50);

/// Prints "name = value unit" with `decimals` decimals.
void Figure(const std::string& name, double value, const std::string& unit, int decimals = 3);
/// Prints "name = value unit" for a count.
void Count(const std::string& name, unsigned long long value, const std::string& unit);
/// Prints "name = text".
void Note(const std::string& name, const std::string& text);
