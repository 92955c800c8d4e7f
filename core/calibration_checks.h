#pragma once
// Second looks at a calibration that can guide: figures that say it may be
// wrong although it solved (too few steps, RA not as much slower than Dec as
// the declination makes it, a change from the calibration before). Each
// concern is a sentence; the user accepts the new calibration, discards it or
// keeps the old one.

#include "calibration_solve.h"

#include <QStringList>

#include <optional>

namespace orvane {

struct CalibrationCheckLimits {
    int leastSteps = 4;              // a letter's rate rests on at least this many frames
    double rateTolerance = 0.25;     // RA against Dec x cos(Dec), and against the last calibration: within 25%
    double angleToleranceDeg = 10;   // an axis may turn this far from the last calibration
};

struct CalibrationCheckInput {
    CalibrationSolution solution;
    int fewestSteps = 0;                    // steps of the letter that took fewest
    QString fewestStepsLetter;              // its direction: West, East, North, South
    std::optional<double> declinationDeg;   // where the telescope pointed, when known
    std::optional<CalibrationRecord> previous; // the calibration in use before
    std::optional<double> previousDeclinationDeg;
};

// The concerns, in the order above; empty when the calibration looks sound.
QStringList checkCalibration(const CalibrationCheckInput &input, const CalibrationCheckLimits &limits = {});

} // namespace orvane
