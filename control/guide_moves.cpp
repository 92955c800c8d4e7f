// Serviced waits and the move timer: a correction runs until the distance
// still to go has fallen below 2 pixels or has started to grow.

#include "rig.h"

#include <algorithm>
#include <cmath>

namespace orvane {

namespace {

// Remaining distance of an axis after dtMs at PixPerSec: double precision,
// stored as a float, exactly as the move timer keeps it.
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

// The y test makes the 2-pixel check on the distance before this update, so a
// y move stops one update after its distance has fallen below 2 pixels.
bool yGoesOn(float oldDrift, float newDrift)
{
    return std::fabs(oldDrift) >= 2.0f && std::fabs(oldDrift) >= std::fabs(newDrift);
}

// Longest look-ahead of the move timer's due time, ms: far beyond any wait.
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

void Rig::ServicedWait(uint32_t startMs, int32_t delayMs)
{
    // Wrap-safe deadline: unsigned sum compared by signed difference, so a wait
    // that crosses 2^31 or 2^32 ms of uptime still ends after exactly its delay.
    const uint32_t deadline = startMs + static_cast<uint32_t>(delayMs);
    for (;;) {
        const uint32_t now = c_.clock.now();
        if (delayMs <= 0 || reached(now, deadline))
            return;
        uint32_t wake = deadline;
        if (c_.panel.guidingTicked()) {
            if (const auto check = nextMoveCheckMs(); check && elapsedMs(now, *check) < elapsedMs(now, wake))
                wake = reached(now, *check) ? now : *check;
        }
        c_.pump.processEventsOrSleep(wake);
        ServiceGuideMoves();
    }
}

void Rig::ServiceGuideMoves()
{
    const bool ticked = c_.panel.guidingTicked();
    const bool justUnticked = guidingWasTicked_ && !ticked;
    guidingWasTicked_ = ticked;
    if (ticked) {
        UpdateGuideMoves();
        return;
    }
    // The move timer rests while guiding is off, so a correction running when
    // the box is cleared would go on to the end of the run: end it now.
    GuidingState &g = c_.guiding;
    if (justUnticked && (g.MoveDirX != 0 || g.MoveDirY != 0)) {
        g.MoveDirX = 0;
        g.MoveDirY = 0;
        sendStopAll();
    }
}

void Rig::UpdateGuideMoves()
{
    GuidingState &g = c_.guiding;
    const uint32_t now = c_.clock.now();
    const int64_t dtMs = elapsedMs(g.MoveClock, now);
    const int32_t pixPerSec = c_.settings.PixPerSec;
    float newX = 0;
    float newY = 0;
    if (g.MoveDirX != 0) {
        newX = remainingAfter(g.DriftX, g.MoveDirX, pixPerSec, dtMs);
        if (!xGoesOn(g.DriftX, newX)) {
            g.MoveDirX = 0;
            sendStopAll();
        }
    }
    if (g.MoveDirY != 0) {
        newY = remainingAfter(g.DriftY, g.MoveDirY, pixPerSec, dtMs);
        if (!yGoesOn(g.DriftY, newY)) {
            g.MoveDirY = 0;
            sendStopAll();
        }
    }
    g.DriftX = newX;
    g.DriftY = newY;
    g.MoveClock = now;
}

std::optional<uint32_t> Rig::nextMoveCheckMs() const
{
    const GuidingState &g = c_.guiding;
    const int32_t pixPerSec = c_.settings.PixPerSec;
    std::optional<int64_t> soonest;
    auto consider = [&](std::optional<int64_t> dt) {
        if (dt && (!soonest || *dt < *soonest))
            soonest = dt;
    };
    if (g.MoveDirX != 0)
        consider(firstDecisionMs(g.DriftX, g.MoveDirX, pixPerSec, false));
    if (g.MoveDirY != 0)
        consider(firstDecisionMs(g.DriftY, g.MoveDirY, pixPerSec, true));
    if (!soonest)
        return std::nullopt;
    return g.MoveClock + static_cast<uint32_t>(*soonest);
}

} // namespace orvane
