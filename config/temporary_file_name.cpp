#include "config/temporary_file_name.h"

#include <charconv>

namespace {

constexpr std::string_view kMarker = ".tmp-";

// Room for the marker and two 32-bit numbers with their separator: the part of the file
// name kept in front of it never depends on the numbers, so a leftover of any writer is
// found by the same prefix.
constexpr size_t kSuffixRoom = kMarker.size() + 10 + 1 + 10;

std::string_view Stem(std::string_view fileName) {
    return fileName.substr(0, kMaxFileNameBytes - kSuffixRoom);
}

/// A decimal number without sign or leading zero, as std::to_string writes it.
std::optional<uint32_t> ParseNumber(std::string_view digits) {
    if (digits.empty() || (digits.size() > 1 && digits.front() == '0')) {
        return std::nullopt;
    }
    uint32_t value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc() || end != digits.data() + digits.size()) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

std::string TemporaryFileName(std::string_view fileName, uint32_t writer, uint32_t counter) {
    std::string name(Stem(fileName));
    name += kMarker;
    name += std::to_string(writer);
    name += '-';
    name += std::to_string(counter);
    return name;
}

std::optional<uint32_t> TemporaryFileWriter(std::string_view candidate, std::string_view fileName) {
    const std::string_view stem = Stem(fileName);
    if (candidate.size() < stem.size() + kMarker.size() ||
        candidate.substr(0, stem.size()) != stem ||
        candidate.substr(stem.size(), kMarker.size()) != kMarker) {
        return std::nullopt;
    }
    const std::string_view numbers = candidate.substr(stem.size() + kMarker.size());
    const size_t dash = numbers.find('-');
    if (dash == std::string_view::npos || !ParseNumber(numbers.substr(dash + 1))) {
        return std::nullopt;
    }
    return ParseNumber(numbers.substr(0, dash));
}
