#include "move_timer.h"

#include "clock.h"

#include <algorithm>
#include <cmath>

namespace orvane {

namespace {

// Remaining distance of an axis after dtMs at pixPerSec: double precision,
// stored as a float, exactly as the timer keeps it.
float remainingAfter(float drift, int16_t moveDir, int32_t pixPerSec, int64_t dtMs)
{
    return static_cast<float>(double(drift) - (double(dtMs) / 1000.0) * double(pixPerSec) * double(moveDir));
}

// The x test: the move goes on while the new distance is at least 2 pixels and
// no larger than the old one.
bool xGoesOn(float oldDrift, float newDrift)
{
    return std::fabs(newDrift) >= 2.0f && std::fabs(oldDrift) >= std::fabs(newDrift);
}

// The y test makes the 2-pixel check on the distance before this update.
bool yGoesOn(float oldDrift, float newDrift)
{
    return std::fabs(oldDrift) >= 2.0f && std::fabs(oldDrift) >= std::fabs(newDrift);
}

// Longest look-ahead of the timer's due time, ms: far beyond any wait.
constexpr int64_t kLongestLookAheadMs = int64_t(1) << 30;

// Milliseconds after the last update at which an update first has something
// to decide on this axis: it stops the move, or (y) stores a distance below
// 2 pixels that the following update will stop on. Empty when no update ever will.
std::optional<int64_t> firstDecisionMs(float drift, int16_t moveDir, int32_t pixPerSec, bool isY)
{
    auto decides = [&](int64_t dt) {
        const float next = remainingAfter(drift, moveDir, pixPerSec, dt);
        return !xGoesOn(drift, next) || (isY && !yGoesOn(drift, next));
    };
    if (decides(0))
        return 0;
    if (pixPerSec == 0)
        return std::nullopt; // the distance never changes
    if (pixPerSec < 0 || double(drift) * moveDir < 0)
        return decides(1) ? std::optional<int64_t>(1) : std::nullopt; // the distance grows at once
    // The distance shrinks linearly towards 0: it falls below 2 pixels just after
    // (distance - 2) / rate. Float rounding may shift that by a step either way.
    const double rate = double(pixPerSec) / 1000.0; // pixels per ms
    const double estimate = std::floor((std::fabs(double(drift)) - 2.0) / rate);
    if (estimate > double(kLongestLookAheadMs))
        return kLongestLookAheadMs;
    const int64_t from = std::max<int64_t>(1, int64_t(estimate) - 2);
    for (int64_t dt = from; dt <= from + 8; ++dt)
        if (decides(dt))
            return dt;
    return from + 8; // not reached for sane values; a later wake costs one pass
}

} // namespace

MoveStops MoveTimer::update(uint32_t nowMs, int32_t pixPerSec)
{
    const int64_t dtMs = elapsedMs(lastUpdateMs, nowMs);
    MoveStops stops;
    float newX = 0;
    float newY = 0;
    if (dirX != 0) {
        newX = remainingAfter(driftX, dirX, pixPerSec, dtMs);
        if (!xGoesOn(driftX, newX)) {
            dirX = 0;
            stops.x = true;
        }
    }
    if (dirY != 0) {
        newY = remainingAfter(driftY, dirY, pixPerSec, dtMs);
        if (!yGoesOn(driftY, newY)) {
            dirY = 0;
            stops.y = true;
        }
    }
    driftX = newX;
    driftY = newY;
    lastUpdateMs = nowMs;
    return stops;
}

std::optional<uint32_t> MoveTimer::nextCheckMs(int32_t pixPerSec) const
{
    std::optional<int64_t> soonest;
    auto consider = [&](std::optional<int64_t> dt) {
        if (dt && (!soonest || *dt < *soonest))
            soonest = dt;
    };
    if (dirX != 0)
        consider(firstDecisionMs(driftX, dirX, pixPerSec, false));
    if (dirY != 0)
        consider(firstDecisionMs(driftY, dirY, pixPerSec, true));
    if (!soonest)
        return std::nullopt;
    return lastUpdateMs + static_cast<uint32_t>(*soonest);
}

} // namespace orvane
