#pragma once
// Two-axis corrections: the measured drift, scaled by the aggressiveness, is
// split along the mount's two guide axes as calibration found them on the
// picture (they need not be square to the picture or to each other), and each
// axis gets a timed move of its own in the same step.

#include "calibration_record.h"
#include "move_decision.h"

#include <QPointF>
#include <QString>

#include <cstdint>

namespace orvane {

struct MoveTuning {
    double aggressiveness = 0.7; // share of the drift corrected at a step
    double minMovePx = 0.2;      // pixels: a smaller move along an axis is not sent
    int32_t maxMoveMs = 1000;    // ms: the longest move on one axis
};

// One axis's correction. x is the axis of the DirLeft/DirRight texts, y that of DirUp/DirDown.
struct AxisMove {
    int16_t dir = 0;   // +1: DirLeft (x) / DirDown (y), the star to be moved towards -x / -y; -1 the other; 0 rests
    QString direction; // the text to send; empty when the axis rests
    int32_t ms = 0;    // how long, ms
    double px = 0;     // pixels the star is to move along the axis (signed as the drift it corrects)
};

struct ProjectedMoves {
    AxisMove x, y;
    bool moves() const { return x.dir != 0 || y.dir != 0; }
};

// The picture's own axes at one rate: what guiding assumes without a
// calibration (DirRight moves the star toward +x, DirUp toward +y).
CalibrationRecord pictureAxes(double pixPerSec);

// The moves that bring a star at (driftX, driftY) (pixels from its lock
// position) back. Nothing moves when the axes are (nearly) parallel or a rate is not above 0.
ProjectedMoves projectMoves(double driftX, double driftY, const CalibrationRecord &axes, const DirectionTexts &texts,
                            const MoveTuning &tuning);

// Where the planned moves are to carry the star on the picture, pixels (each
// axis at its calibrated rate for its ms).
QPointF plannedShiftPx(const ProjectedMoves &moves, const CalibrationRecord &axes);

} // namespace orvane
