#include "serial/comm_handshake.h"

bool CommHandshake::Acquire() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return ready_ || stop_; });
    if (stop_) {
        return false;
    }
    ready_ = false;
    return true;
}

void CommHandshake::Release() {
    {
        std::lock_guard lock(mutex_);
        ready_ = true;
    }
    changed_.notify_all();
}

void CommHandshake::Stop() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
}

void CommHandshake::Restart() {
    std::lock_guard lock(mutex_);
    stop_ = false;
}

bool CommHandshake::WaitForStop(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [this] { return stop_; });
}

bool CommHandshake::IsReady() const {
    std::lock_guard lock(mutex_);
    return ready_;
}
