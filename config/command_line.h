#pragma once
// The calling program starts us with three positional arguments: the header line of the
// transfer file, the firing-type parameter behind a five-character prefix, and the path
// of the transfer file.

#include <optional>
#include <string>
#include <vector>

/// Default transfer file (current folder) when the program has no arguments.
inline constexpr const char* kDefaultTransferFilePath = "data.csv";

/// The values taken from the command line. Header line and parameter are Windows-1252;
/// the path is written as this system's paths are (POSIX: its bytes; Windows: UTF-8).
struct CommandLine {
    std::string headerLine;           ///< first line of the transfer file
    std::string firingTypeParameter;  ///< key 6420; "1", "7", "14" = smoke on
    std::string transferFilePath = kDefaultTransferFilePath;  ///< empty with 1 or 2 arguments
};

/// Reads the arguments (program name excluded). No arguments: path "data.csv", header and
/// parameter empty. Otherwise header = argument 1 with a-z upper-cased and CR and LF
/// turned into blanks (umlauts and every other byte unchanged), parameter = argument 2 from its
/// sixth character with CR and LF turned into blanks (empty when it is shorter or missing),
/// path = argument 3 (empty when missing). Further arguments are ignored.
CommandLine ReadCommandLine(const std::vector<std::string>& arguments);

/// The switch that puts the demo analyser in place of the serial ports: --demo alone, or
/// --demo=OPTIONS with the demo's options.
inline constexpr const char* kDemoSwitch = "--demo";

/// The arguments of main() as the program start takes them.
struct ProgramArguments {
    /// The OPTIONS of a --demo[=OPTIONS] in front of the positional arguments ("1", the
    /// default analyser, for --demo alone), in the form of a path of this system (POSIX:
    /// the system's bytes; Windows: UTF-8); nothing without the switch.
    std::optional<std::string> demo;
    /// The SECONDS of a --mean=SECONDS in front of the positional arguments, as written
    /// (mean_request.h reads them; "--mean" alone gives an empty text); nothing without it.
    std::optional<std::string> mean;
    /// The positional arguments after it, prepared for ReadCommandLine.
    std::vector<std::string> arguments;
};

/// The arguments of main() (program name excluded) prepared for ReadCommandLine: a leading
/// --demo[=OPTIONS] and --mean=SECONDS, in either order, are taken off first, so that it shifts
/// none of the positional arguments and its OPTIONS (which may name a log file) stay as they were
/// written; then arguments 1 and 2 become file text (Windows-1252; a character without a
/// Windows-1252 form becomes
/// '?'), argument 3 (a file name) and later ones stay as this system's paths are written
/// (POSIX: the system's bytes; Windows: UTF-8). POSIX takes the arguments from `argv` (an
/// argument 1 or 2 that is not well-formed UTF-8 is taken as Windows-1252 bytes as they
/// are); Windows reads its command line as UTF-16 and does not look at `argv`, which holds
/// the ANSI code page's look-alikes of letters it lacks. Call it with main()'s own argv,
/// before the toolkit has seen (and edited) it.
ProgramArguments CommandLineArguments(int argc, const char* const* argv);

/// The shared part of CommandLineArguments, on the arguments as the system gave them
/// (POSIX: bytes; Windows: UTF-8): the demo and mean switches taken off, then arguments 1 and 2 of
/// the rest converted from UTF-8 to Windows-1252 where they are well-formed UTF-8, the others
/// unchanged.
ProgramArguments PrepareArguments(std::vector<std::string> arguments);
