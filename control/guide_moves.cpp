// Serviced waits and the move timer: a correction runs until the distance
// still to go has fallen below 2 pixels or has started to grow.

#include "rig.h"

#include "move_timer.h"

namespace orvane {

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
        g.KnownMoveRunning = false;
        sendStopAll();
    }
}

namespace {

MoveTimer moveTimerOf(const GuidingState &g)
{
    return {g.DriftX, g.DriftY, g.MoveDirX, g.MoveDirY, g.MoveClock};
}

} // namespace

void Rig::UpdateGuideMoves()
{
    GuidingState &g = c_.guiding;
    if (g.Algorithm->twoAxis || g.KnownMoveRunning) {
        updateTwoAxisMoves();
        return;
    }
    MoveTimer timer = moveTimerOf(g);
    const MoveStops stops = timer.update(c_.clock.now(), c_.settings.PixPerSec);
    g.DriftX = timer.driftX;
    g.DriftY = timer.driftY;
    g.MoveDirX = timer.dirX;
    g.MoveDirY = timer.dirY;
    g.MoveClock = timer.lastUpdateMs;
    if (stops.x)
        sendStopAll();
    if (stops.y)
        sendStopAll();
}

std::optional<uint32_t> Rig::nextMoveCheckMs() const
{
    if (c_.guiding.Algorithm->twoAxis || c_.guiding.KnownMoveRunning)
        return nextTwoAxisCheckMs();
    return moveTimerOf(c_.guiding).nextCheckMs(c_.settings.PixPerSec);
}

} // namespace orvane
