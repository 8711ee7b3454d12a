#pragma once
// The numeric command-line options of the benchmarks ("--seconds 60" or "--seconds=60").

#include <optional>
#include <string>
#include <vector>

/// One option with its default and allowed range; `value` holds the parsed value.
struct BenchOption {
    std::string name;  ///< without the dashes, e.g. "seconds"
    double value = 0;
    double min = 0;
    double max = 0;
    std::string help;
};

struct BenchParse {
    bool help = false;
    std::string error;  ///< non-empty when the command line was rejected
};

/// Sets the options named in `args`; anything unknown, missing, unreadable or out of
/// range is an error. "--help" sets `help`.
BenchParse ParseBenchOptions(const std::vector<std::string>& args,
                             std::vector<BenchOption>& options);

/// The usage text: the purpose, then every option with its default.
std::string BenchUsage(const std::string& program, const std::string& purpose,
                       const std::vector<BenchOption>& options);

/// The value of option `name` (which must be one of `options`).
double OptionValue(const std::vector<BenchOption>& options, const std::string& name);

/// Reads a benchmark's command line into `options`. After "--help" it prints the usage and
/// gives 0, after a rejected command line the reason and 2: the exit code to end with at
/// once. Nothing means run.
std::optional<int> TakeBenchCommandLine(int argc, char** argv, const char* program,
                                        const char* purpose, std::vector<BenchOption>& options);
