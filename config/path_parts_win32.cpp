#include "config/path_parts.h"

// "C:name" is "name" in the current folder of drive C.
std::string_view PathSeparators() {
    return "\\/:";
}
