#pragma once
// TComm: the serial port component. It owns one serial (COM) port, keeps the port's line
// settings in a DCB-shaped record, writes and reads bytes, reports the receive-queue count,
// and runs one watcher thread while the port is open. The watcher hands port events to
// the creating thread as posted messages (WM_COMM_EVENT, WM_COMM_RXCHAR, WM_COMM_ERROR);
// there they become the notifications OnCommEvent, OnCharReceived and OnCommError.
//
// Usage:
//     auto* comm = new TComm(owner);          // owner destroys it
//     comm->SetPort(5); comm->SetBaudRate(cbr9600);
//     if (comm->Open()) { comm->WriteByte('R'); if (comm->HasData()) b = comm->ReadByte(); }
//     comm->Close();
//
// Thread safety: every member is called on the thread that created the component, which
// must run a Qt event loop for the posted notifications to arrive. A notification only
// wakes that event loop and says what happened; the bytes stay in the port until the
// creating thread reads them (in this program, the poll tick and the waits of the command
// exchange do). At most one notification is outstanding: the watcher goes on watching the
// port, but posts the next one only once the previous one has been handled. A
// notification posted before Close may still be delivered after Close has returned;
// handlers must not assume the port is open.
//
// Failures are never thrown or shown: Open returns false, everything else does nothing.

#include <QObject>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>

#include "serial/comm_handshake.h"
#include "serial/comm_port.h"
#include "serial/comm_types.h"
#include "serial/dcb.h"
#include "serial/system_ports.h"

class TCommWindow;

class TComm : public QObject {
public:
    /// Creates the component closed, with port 1, buffers of 2048 bytes, event mask
    /// {cevRXCHAR} and the system's default line settings (DefaultLineSettings on POSIX).
    /// Its ports are those of `ports` (the system's unless the program start chose the
    /// demo's), which must outlive it.
    explicit TComm(QObject* owner, PortProvider& ports = SystemPorts::Instance());
    /// Closes the port if open; queued notifications are discarded.
    ~TComm() override;
    TComm(const TComm&) = delete;
    TComm& operator=(const TComm&) = delete;

    /// COM port number 1..99. Ignored while connected or outside 1..99.
    uint8_t Port() const { return port_; }
    void SetPort(uint8_t port);
    /// Any DCB rate not in the table reads cbr256000. Ordinals above cbr256000 are ignored.
    TBaudRate BaudRate() const;
    void SetBaudRate(TBaudRate rate);
    /// Data bits; accepted for 3..8 and only when different from the current value.
    uint8_t ByteSize() const { return dcb_.ByteSize; }
    void SetByteSize(uint8_t size);
    /// cpNONE clears fParity, any other value sets it. Ordinals above cpSPACE are ignored.
    TParity Parity() const;
    void SetParity(TParity parity);
    /// Ordinals above csbTWO are ignored.
    TStopBits StopBits() const;
    void SetStopBits(TStopBits stopBits);
    /// Writes the flow-control fields of the flag word (see ApplyFlowControl). Ordinals
    /// above cfcXonXoff are ignored.
    TFlowControl FlowControl() const;
    void SetFlowControl(TFlowControl flow);

    // Stored into the line settings only; they reach an open port with the next setter
    // that applies the settings, or the next Open.
    char XonChar() const { return dcb_.XonChar; }
    void SetXonChar(char c) { dcb_.XonChar = c; }
    char XoffChar() const { return dcb_.XoffChar; }
    void SetXoffChar(char c) { dcb_.XoffChar = c; }
    char ErrorChar() const { return dcb_.ErrorChar; }
    void SetErrorChar(char c) { dcb_.ErrorChar = c; }
    char EofChar() const { return dcb_.EofChar; }
    void SetEofChar(char c) { dcb_.EofChar = c; }
    char EvtChar() const { return dcb_.EvtChar; }
    void SetEvtChar(char c) { dcb_.EvtChar = c; }
    uint16_t XOnLimit() const { return dcb_.XonLim; }
    void SetXOnLimit(uint16_t limit) { dcb_.XonLim = limit; }
    uint16_t XOffLimit() const { return dcb_.XoffLim; }
    void SetXOffLimit(uint16_t limit) { dcb_.XoffLim = limit; }

    /// True from a successful Open to the next Close.
    bool Connected() const { return connected_.load(std::memory_order_acquire); }
    /// True once the watcher has seen the device hang up or vanish (a Bluetooth link whose
    /// connection failed, an adapter pulled out), until the next Open or Close. The port
    /// stays Connected until Close; reads then return 0 and writes do nothing. The watcher
    /// wakes the creating thread as it ends, so a wait there learns of it at once.
    /// A back end that knows of a hang-up at once (the demo's) is asked too, so that a wait
    /// on the creating thread learns of it without the watcher.
    bool HungUp();
    /// Driver buffer sizes; 0 is ignored.
    uint32_t InBufSize() const { return inBufSize_; }
    void SetInBufSize(uint32_t size);
    uint32_t OutBufSize() const { return outBufSize_; }
    void SetOutBufSize(uint32_t size);
    /// Events the watcher waits for. Written while connected, it reaches the port at once.
    TEventMask EventMask() const;
    void SetEventMask(TEventMask mask);

    /// Port events other than errors and received data (`Events`: EV_ bits of the wait,
    /// 0xFFFFFFFF for the first notification inside Open; `State`: MS_*_ON bits).
    std::function<void(TComm* Sender, uint32_t Events, uint32_t State)> OnCommEvent;
    /// Bytes have arrived; `cbInQue` is the receive-queue count right after the wait.
    std::function<void(TComm* Sender, uint32_t cbInQue)> OnCharReceived;
    /// A line error; `ErrorCode` holds CE_ bits. Only with cevERR in the event mask.
    std::function<void(TComm* Sender, uint32_t ErrorCode)> OnCommError;
    /// Called inside Open, on the creating thread, again and again while the system takes
    /// its time to open the port (Windows makes a Bluetooth COM port's radio connection
    /// inside the open). It should let events run, sleeping until at least one came (the
    /// component posts one when the open is done), and return false to give the open up:
    /// Open then returns false at once, and a port that opens after all is closed again.
    /// Unassigned, Open waits for the system without letting events run. Never called
    /// where opening does not block (POSIX).
    std::function<bool(TComm* Sender)> OnOpenWait;

    /// Opens the port, applies the settings, starts the watcher, raises DTR and calls
    /// DoCommEvent(0xFFFFFFFF, modem status) before returning. False if already open
    /// (nothing changes) or the port cannot be opened (no notification then).
    bool Open();
    /// Why the last Open that tried the port failed (the system's code and text); None after
    /// one that succeeded.
    const CommOpenError& LastOpenError() const { return device_.LastOpenError(); }
    /// Stops the watcher (also when it waits behind an unhandled notification), drops DTR,
    /// purges both queues and closes the port. Does nothing when not connected.
    void Close();

    /// Writes `count` bytes; returns once they are handed to the driver. Does nothing when
    /// not connected. Success is not reported.
    void WriteBuffer(const void* buffer, int32_t count);
    /// WriteBuffer of one byte; the byte is copied before this returns.
    void WriteByte(uint8_t byte);
    /// Reads up to `count` waiting bytes without blocking; 0 when not connected.
    int32_t ReadBuffer(void* buffer, int32_t count);
    /// One byte, or 0 when nothing could be read (test HasData first: NUL is a byte too).
    uint8_t ReadByte();
    /// Bytes waiting in the receive queue; 0 when not connected. Clears the error word.
    uint32_t InQueueCount();
    /// InQueueCount() > 0.
    bool HasData();
    /// Bytes written that the driver has not sent yet; 0 when not connected. Clears the
    /// error word. A Bluetooth link's driver holds them until the link is up
    /// (OutQueueShowsLinkUp in port_list.h says where that holds).
    uint32_t OutQueueCount();

    /// The line settings record (for tests and diagnostics).
    const DCB& LineSettings() const { return dcb_; }
    /// The receiver the watcher posts its TCommMessage events to (see comm_message.h).
    QObject* MessageWindow() const;

protected:
    /// Calls OnCommEvent if assigned, then lets the watcher post its next notification.
    virtual void DoCommEvent(uint32_t Events, uint32_t State);
    /// Calls OnCharReceived if assigned, then lets the watcher post its next notification.
    virtual void DoCharReceived(uint32_t cbInQue);
    /// Calls OnCommError if assigned, then lets the watcher post its next notification.
    virtual void DoCommError(uint32_t ErrorCode);

private:
    void ApplySettings();
    /// Records the hang-up of the open port, once per open (owner's thread).
    void NoteHangUp();
    bool WndProc(uint32_t message, uintptr_t wParam, intptr_t lParam);
    void WatcherMain();
    bool PostNotification(uint32_t message, uintptr_t wParam, intptr_t lParam);

    std::atomic<bool> connected_{false};
    std::atomic<bool> hungUp_{false};
    bool hungUpNoted_ = false;  // owner's thread
    uint32_t inBufSize_ = 2048;
    uint32_t outBufSize_ = 2048;
    uint32_t evMask_ = 0;  // EV_ bits
    uint8_t port_ = 1;
    std::unique_ptr<TCommWindow> window_;
    CommPort device_;
    std::thread watcher_;
    CommHandshake handshake_;
    DCB dcb_{};
};
