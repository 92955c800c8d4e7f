#include "projected_moves.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace orvane {

namespace {

constexpr double kLeastSine = 0.1; // axes closer than about 6 degrees cannot split a drift

double radians(double degrees) { return degrees * std::numbers::pi / 180.0; }

// `along`: pixels the star is to move toward the axis's positive letter
// (DirRight / DirUp); the move sends the letter that moves it that way.
AxisMove axisMove(double along, double ratePxPerSec, const QString &positive, const QString &negative,
                  const MoveTuning &tuning)
{
    AxisMove move;
    if (std::fabs(along) < tuning.minMovePx || std::fabs(along) == 0)
        return move;
    const double ms = std::fabs(along) / ratePxPerSec * 1000.0;
    move.ms = int32_t(std::lround(std::min(ms, double(tuning.maxMoveMs))));
    if (move.ms <= 0)
        return move;
    move.dir = along > 0 ? -1 : 1;
    move.direction = along > 0 ? positive : negative;
    move.px = -along;
    return move;
}

} // namespace

CalibrationRecord pictureAxes(double pixPerSec)
{
    CalibrationRecord axes;
    axes.xAngleDeg = 0;
    axes.yAngleDeg = 90;
    axes.xRatePxPerSec = pixPerSec;
    axes.yRatePxPerSec = pixPerSec;
    return axes;
}

ProjectedMoves projectMoves(double driftX, double driftY, const CalibrationRecord &axes, const DirectionTexts &texts,
                            const MoveTuning &tuning)
{
    ProjectedMoves moves;
    if (!(axes.xRatePxPerSec > 0) || !(axes.yRatePxPerSec > 0))
        return moves;
    const double ux = std::cos(radians(axes.xAngleDeg)), uy = std::sin(radians(axes.xAngleDeg));
    const double vx = std::cos(radians(axes.yAngleDeg)), vy = std::sin(radians(axes.yAngleDeg));
    const double det = ux * vy - uy * vx; // sine of the angle between the axes
    if (std::fabs(det) < kLeastSine)
        return moves;
    // The star must move by -aggressiveness x drift = p u + q v (Cramer's rule).
    const double wantX = -tuning.aggressiveness * driftX, wantY = -tuning.aggressiveness * driftY;
    const double p = (wantX * vy - wantY * vx) / det;
    const double q = (ux * wantY - uy * wantX) / det;
    moves.x = axisMove(p, axes.xRatePxPerSec, texts.right, texts.left, tuning);
    moves.y = axisMove(q, axes.yRatePxPerSec, texts.up, texts.down, tuning);
    return moves;
}

QPointF plannedShiftPx(const ProjectedMoves &moves, const CalibrationRecord &axes)
{
    // dir -1 sends the axis's positive letter: the star moves along +u (+v).
    const double p = -moves.x.dir * moves.x.ms * axes.xRatePxPerSec / 1000.0;
    const double q = -moves.y.dir * moves.y.ms * axes.yRatePxPerSec / 1000.0;
    return {p * std::cos(radians(axes.xAngleDeg)) + q * std::cos(radians(axes.yAngleDeg)),
            p * std::sin(radians(axes.xAngleDeg)) + q * std::sin(radians(axes.yAngleDeg))};
}

} // namespace orvane
