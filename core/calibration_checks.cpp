#include "calibration_checks.h"

#include <cmath>
#include <numbers>

namespace orvane {

namespace {

double cosDeg(double deg) { return std::cos(deg * std::numbers::pi / 180); }

// Degrees between two axis directions, 0..180.
double turnDeg(double aDeg, double bDeg)
{
    double d = std::fmod(std::fabs(aDeg - bDeg), 360.0);
    return d > 180 ? 360 - d : d;
}

QString fixed(double v, int decimals) { return QString::number(v, 'f', decimals); }

} // namespace

QStringList checkCalibration(const CalibrationCheckInput &in, const CalibrationCheckLimits &limits)
{
    QStringList concerns;
    const CalibrationSolution &s = in.solution;
    if (in.fewestSteps > 0 && in.fewestSteps < limits.leastSteps)
        concerns << QStringLiteral("%1 took only %2 steps (at least %3 give a sure rate): lower Pixels/Sec in Options "
                                   "or raise Calibrate over, then calibrate again.")
                        .arg(in.fewestStepsLetter)
                        .arg(in.fewestSteps)
                        .arg(limits.leastSteps);
    // RA moves the star slower by cos(Dec) than Dec does, at the same guide rate.
    if (in.declinationDeg && std::fabs(*in.declinationDeg) < 89 && s.decRatePxPerSec > 0) {
        const double expected = s.decRatePxPerSec * cosDeg(*in.declinationDeg); // pixels per second
        if (std::fabs(s.raRatePxPerSec / expected - 1) > limits.rateTolerance)
            concerns << QStringLiteral("At declination %1 degrees RA should move the star at about %2 px/s (Dec's %3 "
                                       "times cos(Dec)), but it moved %4 px/s: is the declination right, or do the "
                                       "mount's two guide rates differ?")
                            .arg(fixed(*in.declinationDeg, 0), fixed(expected, 2), fixed(s.decRatePxPerSec, 2),
                                 fixed(s.raRatePxPerSec, 2));
    }
    if (in.previous) {
        const CalibrationRecord &old = *in.previous, &now = s.record;
        // Rates of RA scale with cos(Dec): an old one is compared at today's declination when both are known.
        double xScale = 1;
        if (in.declinationDeg && in.previousDeclinationDeg && cosDeg(*in.previousDeclinationDeg) > 0.05)
            xScale = cosDeg(*in.declinationDeg) / cosDeg(*in.previousDeclinationDeg);
        QStringList changes;
        const double xTurn = turnDeg(now.xAngleDeg, old.xAngleDeg), yTurn = turnDeg(now.yAngleDeg, old.yAngleDeg);
        if (std::max(xTurn, yTurn) > limits.angleToleranceDeg)
            changes << QStringLiteral("the axes turned %1 degrees").arg(fixed(std::max(xTurn, yTurn), 0));
        const double xOld = old.xRatePxPerSec * xScale, yOld = old.yRatePxPerSec;
        if (xOld > 0 && std::fabs(now.xRatePxPerSec / xOld - 1) > limits.rateTolerance)
            changes << QStringLiteral("Right/Left moves %1 px/s against %2").arg(fixed(now.xRatePxPerSec, 2), fixed(xOld, 2));
        if (yOld > 0 && std::fabs(now.yRatePxPerSec / yOld - 1) > limits.rateTolerance)
            changes << QStringLiteral("Up/Down moves %1 px/s against %2").arg(fixed(now.yRatePxPerSec, 2), fixed(yOld, 2));
        if (!changes.isEmpty())
            concerns << QStringLiteral("This calibration differs from the last one (%1): %2. Was the camera turned or "
                                       "the guide rate changed? If not, a star may have been mistaken for another.")
                            .arg(old.when.isEmpty() ? QStringLiteral("undated") : old.when, changes.join(QStringLiteral(", ")));
    }
    return concerns;
}

} // namespace orvane
