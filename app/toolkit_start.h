#pragma once
// Starting the window toolkit: what it sees of the command line, and what happens when it
// cannot start.

#include <QApplication>
#include <memory>

/// What the toolkit gets to see of the command line: the program name only. QApplication
/// takes options such as "-reverse", "-style X" or "-platform X" out of its argv, and the
/// calling program's header or firing type may well look like one of them.
class ToolkitArguments {
public:
    explicit ToolkitArguments(char* programName) : argv_{programName, nullptr} {}
    int& Count() { return argc_; }
    char** Values() { return argv_; }

private:
    int argc_ = 1;  // QApplication keeps references to both for its whole life
    char* argv_[2];
};

/// Called with why the toolkit could not start (UTF-8), just before the process ends.
using ToolkitFailureHook = void (*)(const char* why);

/// Creates the application object with the program's font and icon. Where the toolkit
/// cannot start (Linux without a display it can reach), which Qt answers with a flood of
/// lines and an abort, one line on standard error says so, `onFailure` (when given) is
/// told the same, and the process ends with `exitCode` instead. `toolkit` must outlive the
/// object.
std::unique_ptr<QApplication> StartToolkit(ToolkitArguments& toolkit, int exitCode,
                                           ToolkitFailureHook onFailure = nullptr);
