#include "platform/cpu_time.hpp"

#include <time.h>

namespace skh::platform {

namespace {

double read(clockid_t clock) {
    timespec ts{};
    if (::clock_gettime(clock, &ts) != 0) return 0.0;
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

}  // namespace

double processCpuSeconds() { return read(CLOCK_PROCESS_CPUTIME_ID); }

double threadCpuSeconds() { return read(CLOCK_THREAD_CPUTIME_ID); }

}  // namespace skh::platform
