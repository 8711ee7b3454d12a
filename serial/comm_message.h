#pragma once
// The component's stand-in for a hidden window: a receiver object on the creating thread
// that gets the watcher's notifications as posted events, so they run there one at a time
// and in the order the watcher posted them.

#include <QEvent>
#include <QObject>

#include <atomic>
#include <cstdint>
#include <functional>

/// Private message numbers (WM_USER + 0x1000 ..).
inline constexpr uint32_t WM_COMM_EVENT = 0x1400;
inline constexpr uint32_t WM_COMM_RXCHAR = 0x1401;
inline constexpr uint32_t WM_COMM_ERROR = 0x1402;
/// Wakes the creating thread and calls nothing: an open it waits for is done, or the
/// watcher saw the device hang up. Outside the hand-shake (no notification runs).
inline constexpr uint32_t WM_COMM_WAKE = 0x1403;
/// lParam that marks a WM_COMM_RXCHAR / WM_COMM_ERROR as the watcher's own.
inline constexpr intptr_t kCommMessageTag = 255;

/// One posted message with its two parameters. The parameters are atomics because the
/// watcher fills them and the creating thread reads them, and the only synchronisation in
/// between lies inside Qt's event queue, which the thread sanitizer cannot see.
class TCommMessage : public QEvent {
public:
    TCommMessage(uint32_t message, uintptr_t wParam, intptr_t lParam);
    ~TCommMessage() override;
    uint32_t Message() const { return static_cast<uint32_t>(type()); }
    uintptr_t WParam() const { return wParam_.load(std::memory_order_acquire); }
    intptr_t LParam() const { return lParam_.load(std::memory_order_acquire); }

private:
    std::atomic<uintptr_t> wParam_;
    std::atomic<intptr_t> lParam_;
};

/// The hidden window: hands every TCommMessage to a window procedure; other events go to
/// QObject's default handling.
class TCommWindow : public QObject {
public:
    /// `wndProc` returns true when it handled (or deliberately dropped) the message.
    using WndProc = std::function<bool(uint32_t message, uintptr_t wParam, intptr_t lParam)>;
    explicit TCommWindow(WndProc wndProc);

protected:
    bool event(QEvent* event) override;

private:
    WndProc wndProc_;
};
