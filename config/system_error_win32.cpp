#include "config/system_error.h"

// FormatMessage would answer in the user's language and code page; the number is what a
// support call needs.
std::string DescribeSystemError(long systemError) {
    return "system error " + std::to_string(static_cast<unsigned long>(systemError));
}
