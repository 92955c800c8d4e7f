// Dithering between two saved frames: the lock position moves by a random
// shift around the star's marked place, the star is carried there (one known
// move when calibration gave the mount's axes, by guiding otherwise), and the
// next exposure starts the moment its tracked place has stayed there for the
// settle time.

#include "imaging_sequence.h"

#include "guide_log_lines.h"
#include "move_decision.h"
#include "settle_judge.h"

#include <QPointF>

#include <cmath>

namespace orvane {

namespace {

// The guide frame after a known move is read out this long after its planned
// end, so that the stop has reached the mount (ms).
constexpr int32_t kKnownMoveMarginMs = 100;

} // namespace

QPointF ImagingSequence::nextDitherShift()
{
    const RigContext &c = rig_.context();
    const GuidingSettings &o = c.guiding.Options;
    const double sizePx = o.ditherPx * o.ditherScale;
    if (o.ditherRaOnly)
        return dither_.nextAlong(sizePx) * raAxisOnPicture(c.guiding.Axes, c.settings);
    const DitherShift shift = dither_.next(sizePx);
    return {shift.dxPx, shift.dyPx};
}

bool ImagingSequence::ditherAndSettle(int32_t guideMs)
{
    const RigContext &c = rig_.context();
    GuidingState &g = c.guiding;
    SequenceState &seq = c.sequence;
    const GuidingSettings &o = g.Options;
    if (!o.dither || !panel_.guidingTicked())
        return true;

    // Around the marked place, not the last lock: shifts never add up to a walk out of the box.
    const QPointF shift = nextDitherShift();
    const QPointF moved(g.MarkDX + shift.x() - g.LockDX, g.MarkDY + shift.y() - g.LockDY);
    g.LockDX = g.MarkDX + shift.x();
    g.LockDY = g.MarkDY + shift.y();
    tell(GuideEvent::Dither, ditherText(moved.x(), moved.y(), seq.StarX + g.LockDX, seq.StarY + g.LockDY));
    tell(GuideEvent::SettlingBegins);
    panel_.showActivity(QStringLiteral("settling after dithering"));
    settling_ = true;

    const uint32_t t0 = c.clock.now();
    // With the mount's axes known the shift is one move, and the first guide
    // frame is read as it ends; without them guiding brings the star over.
    // The box way holds each axis only to its 2 px band, measured in whole
    // pixels: it has settled once each axis is within a pixel beyond that.
    const bool boxWay = !g.Algorithm->twoAxis;
    const double tolerancePx = boxWay ? std::max(o.settlePx, kMoveThresholdPx + 1) : o.settlePx;
    SettleJudge judge({tolerancePx, o.settleTimeS, o.settleTimeoutS}, t0);
    int32_t frameBaseMs = guideMs, firstFrameMs = guideMs; // ms after the dither
    if (g.Axes) {
        // Frames at the move's end (a little after, for the stop to arrive) and
        // then at guide intervals from that end.
        frameBaseMs = rig_.StartKnownMove(moved);
        firstFrameMs = frameBaseMs + kKnownMoveMarginMs;
        judge.expectInPlaceFrom(t0 + uint32_t(frameBaseMs));
    } else {
        g.Tracker.restart(); // the next measurement is from the new lock position
    }
    // A guide read-out holds its state for ImageDelay before the frame is
    // taken: each step starts that much early, so that its frame shows the sky
    // at the planned moment.
    const int32_t readOutMs = std::max<int32_t>(c.settings.ImageDelay, 0);
    SettleVerdict verdict = SettleVerdict::Settling;
    for (int64_t step = 0; verdict == SettleVerdict::Settling; ++step) {
        const int64_t frameAtMs = step == 0 ? firstFrameMs : frameBaseMs + step * guideMs; // after the dither
        const uint32_t due = t0 + uint32_t(std::max<int64_t>(frameAtMs - readOutMs, 0));
        while (!reached(c.clock.now(), due) && seq.SequenceRunning == 1) {
            c.pump.processEventsOrSleep(wakeTime(c.clock.now(), due));
            rig_.ServiceGuideMoves();
        }
        if (seq.SequenceRunning == 0) {
            settling_ = false;
            return false;
        }
        if (!panel_.guidingTicked() || !guideStep()) {
            verdict = judge.noFrame(c.clock.now());
            continue;
        }
        const double distancePx = boxWay ? std::max(std::fabs(g.DriftX), std::fabs(g.DriftY))
                                         : std::hypot(g.TrackedPx.x(), g.TrackedPx.y());
        verdict = judge.frame(c.clock.now(), g.StarFound ? std::optional<double>(distancePx) : std::nullopt);
    }
    settling_ = false;
    if (verdict == SettleVerdict::Settled) {
        tell(GuideEvent::SettlingComplete);
    } else {
        tell(GuideEvent::SettlingFailed);
        panel_.notify(QStringLiteral("The star did not settle within %1 px of its dithered place in %2 s; "
                                     "the next exposure starts all the same.")
                          .arg(tolerancePx)
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
