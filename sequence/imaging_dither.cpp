// Dithering between two saved frames: the lock position moves by a random
// shift around the star's marked place, guiding brings the star there, and the
// next exposure starts once it has stayed there for a few steps.

#include "imaging_sequence.h"

#include "guide_log_lines.h"

#include <cmath>

namespace orvane {

namespace {

int64_t sinceMs(uint32_t from, uint32_t now) { return int64_t(uint32_t(now - from)); }

} // namespace

bool ImagingSequence::ditherAndSettle(int32_t guideMs)
{
    const RigContext &c = rig_.context();
    GuidingState &g = c.guiding;
    SequenceState &seq = c.sequence;
    const GuidingSettings &o = g.Options;
    if (!o.dither || !panel_.guidingTicked())
        return true;

    // Around the marked place, not the last lock: shifts never add up to a walk out of the box.
    const DitherShift shift = dither_.next(o.ditherPx);
    const double oldX = g.LockDX, oldY = g.LockDY;
    g.LockDX = g.MarkDX + shift.dxPx;
    g.LockDY = g.MarkDY + shift.dyPx;
    g.Tracker.restart(); // the next measurement is from the new lock position
    tell(GuideEvent::Dither, ditherText(g.LockDX - oldX, g.LockDY - oldY, seq.StarX + g.LockDX, seq.StarY + g.LockDY));
    tell(GuideEvent::SettlingBegins);
    panel_.showActivity(QStringLiteral("settling after dithering"));

    const uint32_t t0 = c.clock.now();
    const int64_t limitMs = std::llround(o.settleTimeoutS * 1000.0);
    int settledSteps = 0;
    bool settled = false;
    for (int64_t step = 1; !settled; ++step) {
        const uint32_t due = t0 + uint32_t(step * guideMs);
        while (!reached(c.clock.now(), due) && seq.SequenceRunning == 1) {
            c.pump.processEventsOrSleep(wakeTime(c.clock.now(), due));
            rig_.ServiceGuideMoves();
        }
        if (seq.SequenceRunning == 0)
            return false;
        if (sinceMs(t0, c.clock.now()) > limitMs)
            break;
        if (!panel_.guidingTicked() || !guideStep())
            continue;
        const bool near = g.StarFound && std::hypot(double(g.DriftX), double(g.DriftY)) <= o.settlePx;
        settledSteps = near ? settledSteps + 1 : 0;
        settled = settledSteps >= o.settleSteps;
    }
    if (settled) {
        tell(GuideEvent::SettlingComplete);
    } else {
        tell(GuideEvent::SettlingFailed);
        panel_.notify(QStringLiteral("The star did not settle within %1 px of its dithered place in %2 s; "
                                     "the next exposure starts all the same.")
                          .arg(o.settlePx)
                          .arg(o.settleTimeoutS));
    }
    // The light gathered while settling is read away, so the next frame holds no trail of the shift.
    const uint32_t t1 = c.clock.now();
    rig_.writePort(c.settings.GetImageState);
    rig_.ServicedWait(t1, c.settings.ImageDelay);
    rig_.startExposure();
    return seq.SequenceRunning == 1;
}

} // namespace orvane
