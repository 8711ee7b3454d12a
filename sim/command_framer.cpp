#include "sim/command_framer.h"

std::vector<std::string> CommandFramer::Feed(const char* data, size_t size) {
    std::vector<std::string> commands;
    for (size_t i = 0; i < size; ++i) {
        const char c = data[i];
        if (c == '\n' && lastWasCr_) {
            lastWasCr_ = false;
            continue;
        }
        lastWasCr_ = c == '\r';
        if (c == '\r' || c == '\n') {
            commands.push_back(std::move(pending_));
            pending_.clear();
        } else if (pending_.size() < kMaxCommandLength) {
            pending_.push_back(c);
        }
    }
    return commands;
}
