#pragma once
// A TComm that records its notifications, for the tests of the watcher and its hand-shake.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "serial/comm_message.h"
#include "serial/tcomm.h"

struct Notification {
    uint32_t message;
    uint32_t a;
    uint32_t b;
};

// Records every notification; with `holdHandshake` it keeps the first notification it gets
// unfinished (as a handler that never returns would), until Finish is called.
class RecordingComm : public TComm {
public:
    RecordingComm() : TComm(nullptr) {}
    std::vector<Notification> seen;
    bool holdHandshake = false;
    bool holding = false;

    void Finish() {
        holding = false;
        TComm::DoCharReceived(0);
    }
    /// Everything the receive queue holds now.
    std::string ReadAll() {
        std::string got;
        char buffer[64];
        int32_t n;
        while ((n = ReadBuffer(buffer, sizeof buffer)) > 0) {
            got.append(buffer, static_cast<size_t>(n));
        }
        return got;
    }
    size_t Count(uint32_t message) const {
        size_t n = 0;
        for (const Notification& item : seen) {
            n += item.message == message ? 1 : 0;
        }
        return n;
    }

protected:
    void DoCommEvent(uint32_t events, uint32_t state) override {
        seen.push_back({WM_COMM_EVENT, events, state});
        TComm::DoCommEvent(events, state);
    }
    void DoCharReceived(uint32_t cbInQue) override {
        seen.push_back({WM_COMM_RXCHAR, cbInQue, 0});
        if (holdHandshake) {
            holding = true;
            return;
        }
        TComm::DoCharReceived(cbInQue);
    }
    void DoCommError(uint32_t errorCode) override {
        seen.push_back({WM_COMM_ERROR, errorCode, 0});
        TComm::DoCommError(errorCode);
    }
};
