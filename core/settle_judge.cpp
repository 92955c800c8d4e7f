#include "settle_judge.h"

#include <cmath>
#include <utility>

namespace orvane {

bool SettleJudge::timedOut(uint32_t atMs)
{
    lastMs_ = int64_t(uint32_t(atMs - startMs_));
    return lastMs_ > std::llround(rule_.timeoutS * 1000.0);
}

SettleVerdict SettleJudge::frame(uint32_t atMs, std::optional<double> distancePx)
{
    const bool late = timedOut(atMs);
    const std::optional<uint32_t> expectedFrom = std::exchange(expectedFromMs_, std::nullopt);
    if (distancePx && *distancePx <= rule_.tolerancePx) {
        if (!inPlaceSinceMs_)
            inPlaceSinceMs_ = expectedFrom && int32_t(atMs - *expectedFrom) >= 0 ? *expectedFrom : atMs;
        if (int64_t(uint32_t(atMs - *inPlaceSinceMs_)) >= std::llround(rule_.timeS * 1000.0))
            return SettleVerdict::Settled; // a frame in place at the timeout still counts
    } else {
        inPlaceSinceMs_.reset();
    }
    return late ? SettleVerdict::Failed : SettleVerdict::Settling;
}

SettleVerdict SettleJudge::noFrame(uint32_t atMs)
{
    return timedOut(atMs) ? SettleVerdict::Failed : SettleVerdict::Settling;
}

} // namespace orvane
