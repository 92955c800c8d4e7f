// Two-axis corrections: both mount axes move in the same step, each for the
// time its share of the drift needs, projected onto the calibrated axes (the
// picture's own axes at Pixels/Sec before any calibration).

#include "rig.h"

#include "clock.h"
#include "numbers.h"

namespace orvane {

void Rig::startTwoAxisMoves()
{
    GuidingState &g = c_.guiding;
    const Settings &s = c_.settings;
    if (!g.Options.pulse && (g.MoveDirX != 0 || g.MoveDirY != 0))
        sendStopAll(); // a correction still running ends before the next starts
    g.MoveDirX = 0;
    g.MoveDirY = 0;
    g.MoveClock = c_.clock.now();
    if (!g.StarFound) {
        g.Tracker.restart(); // the star may come back anywhere in the box
        c_.panel.showDrift(QStringLiteral("-"), QStringLiteral("-"));
        return;
    }
    const CalibrationRecord axes = g.Axes.value_or(pictureAxes(s.PixPerSec));
    // The sky's own motion since the last step and over the next one: learned
    // with [guiding] predict, else the steady drift the tracker has learned.
    const PredictedMotion sky = predictSkyMotion();
    // A share of where the star is, and the whole of the drift the next step will bring.
    const QPointF place = g.Tracker.update(QPointF(g.DriftX, g.DriftY), sky.sinceLastPx);
    const QPointF ahead = sky.nextPx.value_or(g.Tracker.driftPerStepPx());
    const QPointF toCorrect = g.Options.aggressiveness * place + ahead;
    g.TrackedPx = place;
    const MoveTuning tuning{1.0, g.Options.minMovePx, g.Options.maxMoveMs};
    g.Planned = projectMoves(toCorrect.x(), toCorrect.y(), axes, directionTexts(), tuning);
    keepDecMode(g.Planned);
    const QPointF shift = plannedShiftPx(g.Planned, axes);
    g.Tracker.corrected(shift);
    g.CorrectedPx += shift;
    compensateDecBacklash(place, ahead, axes); // the slack moves no star: after the shift is counted
    sendTwoAxisMoves();
    c_.panel.showDrift(hundredthsText(g.DriftX), hundredthsText(g.DriftY));
}

DirectionTexts Rig::directionTexts() const
{
    const Settings &s = c_.settings;
    return {s.DirUp, s.DirDown, s.DirLeft, s.DirRight};
}

void Rig::sendTwoAxisMoves()
{
    GuidingState &g = c_.guiding;
    if (g.Options.pulse) {
        QByteArray command; // both pulses in one write: they start together
        for (const AxisMove *axis : {&g.Planned.x, &g.Planned.y})
            if (axis->dir != 0)
                command += pulseCommand(axis->direction, axis->ms);
        if (!command.isEmpty())
            c_.comm.Output(command);
    } else if (g.Planned.moves()) {
        QByteArray command = QByteArrayLiteral(":RG#");
        for (const AxisMove *axis : {&g.Planned.x, &g.Planned.y})
            if (axis->dir != 0)
                command += QByteArrayLiteral(":M") + axis->direction.toLatin1() + '#';
        c_.comm.Output(command); // both axes start together
        g.MoveDirX = g.Planned.x.dir;
        g.MoveDirY = g.Planned.y.dir;
    }
}

int32_t Rig::StartKnownMove(QPointF shiftPx)
{
    GuidingState &g = c_.guiding;
    if (!g.Axes)
        return 0;
    if (!g.Options.pulse && (g.MoveDirX != 0 || g.MoveDirY != 0))
        sendStopAll(); // the last correction ends before the shift starts
    g.MoveDirX = 0;
    g.MoveDirY = 0;
    g.MoveClock = c_.clock.now();
    // The star is to go where it would come back to from -shift; all of it at once.
    constexpr int32_t kLongestKnownMoveMs = 30000; // ms on one axis: a shift of 150 px at 5 px/s
    constexpr double kLeastKnownMovePx = 0.05;     // pixels: a smaller share of an axis is not worth a move
    const MoveTuning whole{1.0, kLeastKnownMovePx, kLongestKnownMoveMs};
    g.Planned = projectMoves(-shiftPx.x(), -shiftPx.y(), *g.Axes, directionTexts(), whole);
    keepDecMode(g.Planned);
    const QPointF shift = plannedShiftPx(g.Planned, *g.Axes);
    g.Tracker.lockMoved(shiftPx);
    g.Tracker.corrected(shift);
    g.CorrectedPx += shift; // a correction sent, as far as the learned sky motion is concerned
    sendTwoAxisMoves();
    g.KnownMoveRunning = g.MoveDirX != 0 || g.MoveDirY != 0;
    return std::max(g.Planned.x.dir != 0 ? g.Planned.x.ms : 0, g.Planned.y.dir != 0 ? g.Planned.y.ms : 0);
}

Rig::PredictedMotion Rig::predictSkyMotion()
{
    GuidingState &g = c_.guiding;
    const uint32_t now = c_.clock.now();
    const std::optional<uint32_t> last = std::exchange(g.LastStepMs, now);
    if (!g.Options.predict)
        return {};
    if (g.Predictor.periodS() != g.Options.predictPeriodS)
        g.Predictor.reset(g.Options.predictPeriodS); // a new period is a new model
    const auto seconds = [&](uint32_t ms) { return double(elapsedMs(g.PredictBaseMs, ms)) / 1000.0; };
    // The star's place from its marked centre, less every correction sent: where the sky alone put it.
    const QPointF place(g.LockDX - g.MarkDX + g.DriftX, g.LockDY - g.MarkDY + g.DriftY);
    g.Predictor.learn(seconds(now), place - g.CorrectedPx);
    PredictedMotion motion;
    if (!last)
        return motion;
    const double stepS = double(elapsedMs(*last, now)) / 1000.0;
    motion.sinceLastPx = g.Predictor.motion(seconds(*last), seconds(now));
    motion.nextPx = g.Predictor.motion(seconds(now), seconds(now) + stepS);
    return motion;
}

void Rig::updateTwoAxisMoves()
{
    GuidingState &g = c_.guiding;
    const int64_t ranMs = elapsedMs(g.MoveClock, c_.clock.now());
    const bool xDone = g.MoveDirX != 0 && ranMs >= g.Planned.x.ms;
    const bool yDone = g.MoveDirY != 0 && ranMs >= g.Planned.y.ms;
    if (!xDone && !yDone)
        return;
    if (xDone)
        g.MoveDirX = 0;
    if (yDone)
        g.MoveDirY = 0;
    if (g.MoveDirX == 0 && g.MoveDirY == 0) {
        g.KnownMoveRunning = false;
        sendStopAll(); // the last axis has done its share
        return;
    }
    sendAxisStop(xDone ? g.Planned.x.direction : g.Planned.y.direction); // the other axis runs on
}

std::optional<uint32_t> Rig::nextTwoAxisCheckMs() const
{
    const GuidingState &g = c_.guiding;
    std::optional<int32_t> soonest;
    if (g.MoveDirX != 0)
        soonest = g.Planned.x.ms;
    if (g.MoveDirY != 0 && (!soonest || g.Planned.y.ms < *soonest))
        soonest = g.Planned.y.ms;
    if (!soonest)
        return std::nullopt;
    return g.MoveClock + uint32_t(*soonest);
}

} // namespace orvane
