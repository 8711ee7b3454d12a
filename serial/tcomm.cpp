#include "serial/tcomm.h"

#include "serial/serial_logging.h"

#include <QCoreApplication>

#include <algorithm>
#include <chrono>

#include "serial/comm_message.h"
#include "serial/comm_tables.h"
#include "serial/default_line_settings.h"
#include "serial/watcher_thread.h"

namespace {

// The first notification, given inside Open, carries every event bit.
constexpr uint32_t kAllEvents = 0xFFFFFFFFu;

// Pauses after failed waits grow from the first to the last value, so a wait that keeps
// failing costs next to no processor time, yet a passing failure is retried quickly.
constexpr std::chrono::milliseconds kFirstBackoff{10};
constexpr std::chrono::milliseconds kLastBackoff{500};

}  // namespace

TComm::TComm(QObject* owner, PortProvider& ports)
    : QObject(owner),
      evMask_(EV_RXCHAR_BIT),
      window_(std::make_unique<TCommWindow>(
          [this](uint32_t message, uintptr_t wParam, intptr_t lParam) {
              return WndProc(message, wParam, lParam);
          })),
      device_(ports),
      dcb_(SystemDefaultLineSettings()) {}

TComm::~TComm() {
    if (Connected()) {
        Close();
    }
    // Deleting the window discards whatever notifications were still queued for it.
    window_.reset();
}

QObject* TComm::MessageWindow() const {
    return window_.get();
}

void TComm::SetPort(uint8_t port) {
    if (Connected() || port < 1 || port > 99) {
        return;
    }
    port_ = port;
}

TBaudRate TComm::BaudRate() const {
    return BaudRateFromDcb(dcb_.BaudRate);
}

void TComm::SetBaudRate(TBaudRate rate) {
    if (!IsValidBaudRate(rate)) {
        return;
    }
    dcb_.BaudRate = BaudRateToDcb(rate);
    ApplySettings();
}

void TComm::SetByteSize(uint8_t size) {
    if (size < 3 || size > 8 || size == dcb_.ByteSize) {
        return;
    }
    dcb_.ByteSize = size;
    ApplySettings();
}

TParity TComm::Parity() const {
    return ParityFromDcb(dcb_.Parity);
}

void TComm::SetParity(TParity parity) {
    if (!IsValidParity(parity)) {
        return;
    }
    if (parity == cpNONE) {
        dcb_.Flags &= ~kDcbParity;
    } else {
        dcb_.Flags |= kDcbParity;
    }
    dcb_.Parity = ParityToDcb(parity);
    ApplySettings();
}

TStopBits TComm::StopBits() const {
    return StopBitsFromDcb(dcb_.StopBits);
}

void TComm::SetStopBits(TStopBits stopBits) {
    if (!IsValidStopBits(stopBits)) {
        return;
    }
    dcb_.StopBits = StopBitsToDcb(stopBits);
    ApplySettings();
}

TFlowControl TComm::FlowControl() const {
    return FlowControlFromFlags(dcb_.Flags);
}

void TComm::SetFlowControl(TFlowControl flow) {
    if (!IsValidFlowControl(flow)) {
        return;
    }
    dcb_.Flags = ApplyFlowControl(dcb_.Flags, flow);
    ApplySettings();
}

void TComm::SetInBufSize(uint32_t size) {
    if (size == 0) {
        return;
    }
    inBufSize_ = size;
    ApplySettings();
}

void TComm::SetOutBufSize(uint32_t size) {
    if (size == 0) {
        return;
    }
    outBufSize_ = size;
    ApplySettings();
}

TEventMask TComm::EventMask() const {
    return EventMaskFromEv(evMask_);
}

void TComm::SetEventMask(TEventMask mask) {
    evMask_ = EventMaskToEv(mask);
    if (Connected()) {
        // Ends the watcher's pending wait; its next wait uses the new mask.
        device_.SetEventMask(evMask_);
    }
}

void TComm::ApplySettings() {
    if (!Connected()) {
        return;
    }
    device_.ApplySettings(dcb_, inBufSize_, outBufSize_);
}

bool TComm::Open() {
    if (Connected()) {
        return false;
    }
    CommOpenWait wait;
    if (OnOpenWait) {
        wait.wait = [this] { return OnOpenWait(this); };
        wait.wake = [window = window_.get()] {
            QCoreApplication::postEvent(window, new TCommMessage(WM_COMM_WAKE, 0, 0));
        };
    }
    if (!device_.Open(port_, wait)) {
        qCInfo(lcSerial).noquote()
            << QStringLiteral("open COM%1 failed: %2")
                   .arg(port_)
                   .arg(QString::fromStdString(DescribeOpenError(device_.LastOpenError())));
        return false;
    }
    qCInfo(lcSerial).noquote() << QStringLiteral("open COM%1 ok: %2")
                                      .arg(port_)
                                      .arg(QString::fromStdString(device_.LastOpenError().device));
    hungUpNoted_ = false;
    hungUp_.store(false, std::memory_order_release);
    connected_.store(true, std::memory_order_release);
    ApplySettings();
    // The mask goes to the port here rather than from the new thread, so that a mask
    // written right after Open cannot be overtaken by the watcher's start-up.
    device_.SetEventMask(evMask_);
    handshake_.Restart();
    watcher_ = std::thread(&TComm::WatcherMain, this);
    device_.SetDtr(true);
    const uint32_t modemStatus = device_.ModemStatus();
    DoCommEvent(kAllEvents, modemStatus);
    return Connected();
}

void TComm::Close() {
    if (!Connected()) {
        return;
    }
    // The flag goes first: the watcher, woken by the mask change or released from its
    // hand-shake, must find it clear and end instead of waiting again.
    connected_.store(false, std::memory_order_release);
    handshake_.Stop();
    device_.SetEventMask(0);
    if (watcher_.joinable()) {
        watcher_.join();
    }
    device_.SetDtr(false);
    device_.Purge();
    device_.Close();
    hungUp_.store(false, std::memory_order_release);
    qCInfo(lcSerial).noquote() << QStringLiteral("close COM%1").arg(port_);
}

void TComm::WriteBuffer(const void* buffer, int32_t count) {
    if (!Connected() || buffer == nullptr || count <= 0) {
        return;
    }
    device_.Write(buffer, count);
}

void TComm::WriteByte(uint8_t byte) {
    WriteBuffer(&byte, 1);
}

int32_t TComm::ReadBuffer(void* buffer, int32_t count) {
    if (!Connected() || buffer == nullptr || count <= 0) {
        return 0;
    }
    return device_.Read(buffer, count);
}

uint8_t TComm::ReadByte() {
    uint8_t byte = 0;
    ReadBuffer(&byte, 1);
    return byte;
}

uint32_t TComm::InQueueCount() {
    if (!Connected()) {
        return 0;
    }
    return device_.QueueStatus().inQueue;
}

bool TComm::HasData() {
    return InQueueCount() > 0;
}

bool TComm::HungUp() {
    const bool hungUp = hungUp_.load(std::memory_order_acquire) || (Connected() && device_.Gone());
    if (hungUp) {
        NoteHangUp();
    }
    return hungUp;
}

void TComm::NoteHangUp() {
    if (!hungUpNoted_) {
        hungUpNoted_ = true;
        qCInfo(lcSerial).noquote() << QStringLiteral("COM%1 hung up").arg(port_);
    }
}

uint32_t TComm::OutQueueCount() {
    if (!Connected()) {
        return 0;
    }
    return device_.QueueStatus().outQueue;
}

void TComm::DoCommEvent(uint32_t Events, uint32_t State) {
    if (OnCommEvent) {
        OnCommEvent(this, Events, State);
    }
    handshake_.Release();
}

void TComm::DoCharReceived(uint32_t cbInQue) {
    if (OnCharReceived) {
        OnCharReceived(this, cbInQue);
    }
    handshake_.Release();
}

void TComm::DoCommError(uint32_t ErrorCode) {
    if (OnCommError) {
        OnCommError(this, ErrorCode);
    }
    handshake_.Release();
}

bool TComm::WndProc(uint32_t message, uintptr_t wParam, intptr_t lParam) {
    switch (message) {
        case WM_COMM_EVENT:
            DoCommEvent(static_cast<uint32_t>(wParam), static_cast<uint32_t>(lParam));
            return true;
        case WM_COMM_RXCHAR:
            // Anything but the watcher's tag is dropped, not passed on.
            if (lParam == kCommMessageTag) {
                DoCharReceived(static_cast<uint32_t>(wParam));
            }
            return true;
        case WM_COMM_ERROR:
            if (lParam == kCommMessageTag) {
                DoCommError(static_cast<uint32_t>(wParam));
            }
            return true;
        case WM_COMM_WAKE:
            // It has woken the event loop; the watcher's hang-up goes into the record here,
            // on the owner's thread.
            if (Connected() && hungUp_.load(std::memory_order_acquire)) {
                NoteHangUp();
            }
            return true;
        default:
            return false;
    }
}

bool TComm::PostNotification(uint32_t message, uintptr_t wParam, intptr_t lParam) {
    if (!handshake_.Acquire()) {
        return false;  // Close has begun: post nothing more
    }
    QCoreApplication::postEvent(window_.get(), new TCommMessage(message, wParam, lParam));
    return true;
}

// Runs on the watcher thread. Touches only the device, the hand-shake, the connected flag
// and the window pointer (for posting); never the properties or the callbacks.
void TComm::WatcherMain() {
    EnterWatcherThread();
    std::chrono::milliseconds backoff{0};
    while (connected_.load(std::memory_order_acquire)) {
        const CommWaitResult wait = device_.WaitEvent();
        if (wait.status == CommWaitStatus::Gone) {
            // The device hung up: nothing more will come. Stop watching; the owner learns
            // of it from HungUp (woken here, in case it waits) and closes the port.
            hungUp_.store(true, std::memory_order_release);
            QCoreApplication::postEvent(window_.get(), new TCommMessage(WM_COMM_WAKE, 0, 0));
            break;
        }
        if (wait.status == CommWaitStatus::Failed) {
            backoff = std::clamp(backoff * 2, kFirstBackoff, kLastBackoff);
            if (handshake_.WaitForStop(backoff)) {
                break;
            }
            continue;
        }
        backoff = std::chrono::milliseconds{0};
        const uint32_t events = wait.events;
        if (events == 0) {
            continue;
        }
        const CommQueueStatus queue = device_.QueueStatus();
        if ((events & EV_ERR_BIT) != 0 &&
            !PostNotification(WM_COMM_ERROR, queue.errors, kCommMessageTag)) {
            break;
        }
        if ((events & EV_RXCHAR_BIT) != 0 &&
            !PostNotification(WM_COMM_RXCHAR, queue.inQueue, kCommMessageTag)) {
            break;
        }
        if ((events & (EV_ERR_BIT | EV_RXCHAR_BIT)) != 0) {
            continue;
        }
        const uint32_t modemStatus = device_.ModemStatus();
        if (!PostNotification(WM_COMM_EVENT, events, modemStatus)) {
            break;
        }
    }
}
