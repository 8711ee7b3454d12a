#include "bench/process_cpu_time.h"

#include <sys/resource.h>

namespace {
double Seconds(const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}
}  // namespace

CpuTimes ProcessCpuTime() {
    rusage usage{};
    if (getrusage(RUSAGE_SELF, &usage) != 0) {
        return {};
    }
    return {Seconds(usage.ru_utime), Seconds(usage.ru_stime)};
}
