#include "clock.h"

#include <time.h>

namespace orvane {

uint32_t SteadyClock::now()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    const uint64_t ms = uint64_t(ts.tv_sec) * 1000u + uint64_t(ts.tv_nsec) / 1000000u;
    return static_cast<uint32_t>(ms); // wraps like the uptime counter
}

} // namespace orvane
