#pragma once
// The debug log: progress lines of the search, Windows-1252 text without time stamps,
// written to "debug.log" on the one path where the search opens a port numbered 1 or lower.
// The take-over reuses it as the line buffer of the transfer file, so that a log written
// after a failed take-over starts with what that take-over had collected.

#include <string>
#include <string_view>
#include <vector>

class DebugLog {
public:
    void Add(std::string_view cp1252Line) { lines_.emplace_back(cp1252Line); }
    /// Replaces every line (the take-over's line buffer).
    void Replace(std::vector<std::string> lines) { lines_ = std::move(lines); }
    const std::vector<std::string>& Lines() const { return lines_; }

    /// Writes the lines, each ended by CR LF, to `path`, making its folder first. False with
    /// the reason in `error` (a German sentence with the system's words) when it cannot be
    /// written.
    bool Save(const std::string& path, std::string& error) const;

private:
    std::vector<std::string> lines_;
};
