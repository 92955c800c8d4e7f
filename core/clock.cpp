#include "clock.h"

#include <QDateTime>

#include <time.h>

namespace orvane {

uint32_t SteadyClock::now()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    const uint64_t ms = uint64_t(ts.tv_sec) * 1000u + uint64_t(ts.tv_nsec) / 1000000u;
    return static_cast<uint32_t>(ms); // wraps like the uptime counter
}

int64_t Clock::utcMs(uint32_t clockMs)
{
    const int64_t agoMs = int64_t(uint32_t(now() - clockMs));
    return QDateTime::currentMSecsSinceEpoch() - agoMs;
}

} // namespace orvane
