#pragma once
// Splits the bytes a port receives into command lines. The program ends each command
// with one CR; a person at a serial terminal may send LF or CRLF instead, so a lone LF
// also ends a command and the LF of a CRLF pair is dropped.

#include <cstddef>
#include <string>
#include <vector>

/// Accumulates received bytes and hands out complete command lines (without terminator).
class CommandFramer {
public:
    /// Commands longer than this are cut: a stream of garbage must not grow memory.
    static constexpr size_t kMaxCommandLength = 256;

    /// Feeds received bytes; returns the commands completed by them, in order.
    std::vector<std::string> Feed(const char* data, size_t size);

private:
    std::string pending_;
    bool lastWasCr_ = false;
};
