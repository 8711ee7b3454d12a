#include "config/executable_path.h"

namespace {

size_t LastSeparator(std::string_view path, std::string_view separators) {
    return path.find_last_of(separators);
}

}  // namespace

std::string FileNamePart(std::string_view path, std::string_view separators) {
    size_t last = LastSeparator(path, separators);
    return std::string(last == std::string_view::npos ? path : path.substr(last + 1));
}

std::string DirectoryPart(std::string_view path, std::string_view separators) {
    size_t last = LastSeparator(path, separators);
    return last == std::string_view::npos ? std::string() : std::string(path.substr(0, last + 1));
}

std::string ExecutableDirectory() {
    return DirectoryPart(ExecutablePath(), PathSeparators());
}

std::string ExecutableFileName() {
    return FileNamePart(ExecutablePath(), PathSeparators());
}
