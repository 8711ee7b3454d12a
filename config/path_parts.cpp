#include "config/path_parts.h"

std::string FileNamePart(std::string_view path, std::string_view separators) {
    const size_t last = path.find_last_of(separators);
    return std::string(last == std::string_view::npos ? path : path.substr(last + 1));
}

std::string DirectoryPart(std::string_view path, std::string_view separators) {
    const size_t last = path.find_last_of(separators);
    return last == std::string_view::npos ? std::string() : std::string(path.substr(0, last + 1));
}
