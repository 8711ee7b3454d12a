#include "sim/sim_link.h"

void SimLink::Open(SimTime now) {
    state_ = State::Connecting;
    decidedAt_ = now + settings_.after;
    held_.clear();
}

void SimLink::Close() {
    state_ = State::Down;
    held_.clear();
}

std::string SimLink::Pass(std::string bytes) {
    switch (state_) {
        case State::Up:
            return bytes;
        case State::Connecting:
            held_ += bytes;
            return {};
        case State::Down:
            return {};
    }
    return {};
}

SimLink::Change SimLink::Advance(SimTime now, std::string& delivered) {
    if (state_ != State::Connecting || now < decidedAt_) {
        return Change::None;
    }
    if (settings_.fails) {
        Close();
        return Change::Failed;
    }
    state_ = State::Up;
    delivered.swap(held_);
    held_.clear();
    return Change::CameUp;
}

std::optional<SimTime> SimLink::NextDeadline() const {
    if (state_ != State::Connecting) {
        return std::nullopt;
    }
    return decidedAt_;
}
