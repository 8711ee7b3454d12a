#include "config/path_parts.h"

std::string_view PathSeparators() {
    return "/";
}
