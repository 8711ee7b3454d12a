#pragma once
// What the program says about itself when asked on the command line instead of being
// started by a calling program: its usage and its version.

#include <optional>
#include <string>
#include <vector>

/// The text that `--help` or `--version` asks for, when one of them is the only argument
/// (main()'s arguments, program name excluded); nothing otherwise. A calling program
/// always passes none or three arguments, so no hand-over is taken for a request.
std::optional<std::string> ProgramInfoRequested(const std::vector<std::string>& arguments);
