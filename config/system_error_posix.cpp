#include <cstring>

#include "config/system_error.h"

std::string DescribeSystemError(long systemError) {
    return std::strerror(static_cast<int>(systemError));
}
