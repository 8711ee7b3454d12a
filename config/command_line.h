#pragma once
// The calling program starts us with three positional arguments: the header line of the
// transfer file, the firing-type parameter behind a five-character prefix, and the path
// of the transfer file.

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

/// The arguments of main() (program name excluded) prepared for ReadCommandLine: arguments
/// 1 and 2 become file text (Windows-1252; a character without a Windows-1252 form becomes
/// '?'), argument 3 (a file name) and later ones stay as this system's paths are written
/// (POSIX: the system's bytes; Windows: UTF-8). POSIX takes the arguments from `argv` (an
/// argument 1 or 2 that is not well-formed UTF-8 is taken as Windows-1252 bytes as they
/// are); Windows reads its command line as UTF-16 and does not look at `argv`, which holds
/// the ANSI code page's look-alikes of letters it lacks. Call it with main()'s own argv,
/// before the toolkit has seen (and edited) it.
std::vector<std::string> CommandLineArguments(int argc, const char* const* argv);

/// The shared part of CommandLineArguments: arguments 1 and 2 converted from UTF-8 to
/// Windows-1252 where they are well-formed UTF-8, the others unchanged.
std::vector<std::string> FileTextAndPaths(std::vector<std::string> arguments);
