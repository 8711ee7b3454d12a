#include "serial/comm_open_error.h"

#include <utility>

namespace {

const char* Meaning(CommOpenFailure failure) {
    switch (failure) {
        case CommOpenFailure::None:
            return "opened";
        case CommOpenFailure::NoDevice:
            return "no such device";
        case CommOpenFailure::PermissionDenied:
            return "permission denied";
        case CommOpenFailure::Busy:
            return "port busy";
        case CommOpenFailure::NotASerialPort:
            return "not a serial port";
        case CommOpenFailure::GivenUp:
            return "open given up";
        case CommOpenFailure::Other:
            break;
    }
    return "cannot open";
}

}  // namespace

CommOpenError OpenErrorOfOurOwn(CommOpenFailure failure, std::string text,
                                const std::string& device) {
    return {failure, 0, std::move(text), device};
}

std::string DescribeOpenError(const CommOpenError& error) {
    std::string line = Meaning(error.failure);
    if (!error.device.empty() || !error.text.empty()) {
        line += " -";
    }
    if (!error.device.empty()) {
        line += " " + error.device + (error.text.empty() ? "" : ":");
    }
    if (!error.text.empty()) {
        line += " " + error.text;
    }
    if (error.code != 0) {
        line += " (code " + std::to_string(error.code) + ")";
    }
    return line;
}
