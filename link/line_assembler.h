#pragma once
// Assembles carriage-return framed lines from single bytes. A line may not grow
// without end: a peer that never sends a CR would otherwise eat memory, so a line
// longer than the limit is dropped whole, up to and including its CR.

#include <cstddef>
#include <string>

class LineAssembler {
public:
    static constexpr std::size_t kDefaultMaxLength = 256;

    explicit LineAssembler(std::size_t maxLength = kDefaultMaxLength) : maxLength_(maxLength) {}

    /// Feeds one byte. Returns true when `byte` was the CR that completed a line;
    /// the line is then in Line() until the next Feed or Clear. A CR that ends an
    /// overlong line completes nothing and returns false.
    bool Feed(unsigned char byte);

    /// The line being assembled, or the line just completed.
    const std::string& Line() const { return line_; }
    /// True while the bytes since the last CR exceed the limit (they are being dropped).
    bool Overlong() const { return overlong_; }
    void Clear();

private:
    std::size_t maxLength_;
    std::string line_;
    bool complete_ = false;
    bool overlong_ = false;
};
