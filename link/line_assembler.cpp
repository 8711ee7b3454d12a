#include "link/line_assembler.h"

bool LineAssembler::Feed(unsigned char byte) {
    if (complete_) {
        line_.clear();
        complete_ = false;
    }
    if (byte == '\r') {
        if (overlong_) {
            overlong_ = false;
            line_.clear();
            return false;
        }
        complete_ = true;
        return true;
    }
    if (overlong_) {
        return false;
    }
    if (line_.size() >= maxLength_) {
        overlong_ = true;
        line_.clear();
        return false;
    }
    line_.push_back(static_cast<char>(byte));
    return false;
}

void LineAssembler::Clear() {
    line_.clear();
    complete_ = false;
    overlong_ = false;
}
