#include "bench/bench_options.h"

#include <charconv>
#include <cstdio>
#include <stdexcept>

BenchParse ParseBenchOptions(const std::vector<std::string>& args,
                             std::vector<BenchOption>& options) {
    BenchParse result;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            result.help = true;
            continue;
        }
        if (arg.rfind("--", 0) != 0) {
            result.error = "unexpected argument '" + arg + "'";
            return result;
        }
        std::string name = arg.substr(2);
        std::string text;
        bool hasValue = false;
        if (const auto eq = name.find('='); eq != std::string::npos) {
            text = name.substr(eq + 1);
            name.resize(eq);
            hasValue = true;
        }
        BenchOption* option = nullptr;
        for (BenchOption& candidate : options) {
            if (candidate.name == name) {
                option = &candidate;
            }
        }
        if (option == nullptr) {
            result.error = "unknown option '--" + name + "'";
            return result;
        }
        if (!hasValue) {
            if (i + 1 == args.size()) {
                result.error = "--" + name + " needs a value";
                return result;
            }
            text = args[++i];
        }
        double value = 0;
        const char* end = text.data() + text.size();
        const auto [at, error] = std::from_chars(text.data(), end, value);
        if (text.empty() || error != std::errc{} || at != end) {
            result.error = "--" + name + ": '" + text + "' is not a number";
            return result;
        }
        if (value < option->min || value > option->max) {
            char range[96];
            std::snprintf(range, sizeof range, " is outside %g..%g", option->min, option->max);
            result.error = "--" + name + ": " + text + range;
            return result;
        }
        option->value = value;
    }
    return result;
}

std::string BenchUsage(const std::string& program, const std::string& purpose,
                       const std::vector<BenchOption>& options) {
    std::string text = "Usage: " + program + " [OPTIONS]\n\n" + purpose + "\n\nOptions:\n";
    for (const BenchOption& option : options) {
        char line[256];
        std::snprintf(line, sizeof line, "  --%-10s %s (default %g)\n", option.name.c_str(),
                      option.help.c_str(), option.value);
        text += line;
    }
    text += "  --help       this text\n";
    return text;
}

double OptionValue(const std::vector<BenchOption>& options, const std::string& name) {
    for (const BenchOption& option : options) {
        if (option.name == name) {
            return option.value;
        }
    }
    throw std::logic_error("no benchmark option --" + name);
}

std::optional<int> TakeBenchCommandLine(int argc, char** argv, const char* program,
                                        const char* purpose, std::vector<BenchOption>& options) {
    const BenchParse parsed =
        ParseBenchOptions(std::vector<std::string>(argv + 1, argv + argc), options);
    if (parsed.help) {
        std::fputs(BenchUsage(program, purpose, options).c_str(), stdout);
        return 0;
    }
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "%s: %s\n", program, parsed.error.c_str());
        return 2;
    }
    return std::nullopt;
}
