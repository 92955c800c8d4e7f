// The Dec axis as [guiding] decMode lets guiding drive it: both ways, one way
// only (a mount whose backlash is kept taken up by a slight imbalance), or not at all.
#include "rig.h"

#include <algorithm>

namespace orvane {

void Rig::keepDecMode(ProjectedMoves &moves) const
{
    for (AxisMove *axis : {&moves.x, &moves.y})
        if (axis->dir != 0 && !guidingMaySend(c_.guiding.Options, axis->direction))
            *axis = AxisMove{};
}

namespace {
bool isDecLetter(const QString &letter)
{
    const QString l = letter.trimmed().toLower();
    return l == QLatin1String("n") || l == QLatin1String("s");
}
} // namespace

void Rig::compensateDecBacklash(QPointF placePx, QPointF aheadPx, const CalibrationRecord &axes)
{
    GuidingState &g = c_.guiding;
    if (!g.Options.decBacklash || g.DecComp.gaveUp())
        return;
    const Settings &s = c_.settings;
    const DirectionTexts letters{s.DirUp, s.DirDown, s.DirLeft, s.DirRight};
    const bool yIsDec = isDecLetter(s.DirUp) || !isDecLetter(s.DirLeft);
    const MoveTuning whole{1.0, 0.0, 99999};
    const ProjectedMoves place = projectMoves(placePx.x(), placePx.y(), axes, letters, whole);
    const ProjectedMoves ahead = projectMoves(aheadPx.x(), aheadPx.y(), axes, letters, whole);
    AxisMove &dec = yIsDec ? g.Planned.y : g.Planned.x;
    const double rate = yIsDec ? axes.yRatePxPerSec : axes.xRatePxPerSec;
    const int32_t extra = g.DecComp.extraMs(dec.dir, dec.px, dec.ms, (yIsDec ? place.y : place.x).px,
                                            (yIsDec ? ahead.y : ahead.x).px, rate);
    // At most twice the longest move in all, so that a pulse ends before the next step's.
    dec.ms = std::max(dec.ms, std::min(dec.ms + extra, 2 * g.Options.maxMoveMs));
    if (g.DecComp.gaveUp())
        c_.panel.notify(QStringLiteral("Dec backlash compensation stopped: the mount overshoots after each "
                                       "reversal, so it has no slack to take up. Guiding goes on without it."));
}

} // namespace orvane
