#include "calibration_solve.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace orvane {

namespace {

double length(QPointF v) { return std::hypot(v.x(), v.y()); }

QString fixed1(double value) { return QString::number(value, 'f', 1); }

// One mount axis: its two letters and where the first of them moves the star.
struct Axis {
    QString name, first, second;
    QPointF firstWay; // pixels per second
};

} // namespace

double angleDeg(QPointF v)
{
    const double deg = std::atan2(v.y(), v.x()) * 180.0 / std::numbers::pi;
    return deg <= -180 ? deg + 360 : deg;
}

int CalibrationSolution::pixPerSec() const
{
    return std::max(1, int(std::lround((record.xRatePxPerSec + record.yRatePxPerSec) / 2)));
}

CalibrationSolution solveCalibration(const LetterVelocities &m, bool oneAxisGuiding, const CalibrationLimits &limits)
{
    CalibrationSolution s;
    const Axis ra{QStringLiteral("RA"), QStringLiteral("w"), QStringLiteral("e"), (m.west - m.east) / 2};
    const Axis dec{QStringLiteral("Dec"), QStringLiteral("n"), QStringLiteral("s"), (m.north - m.south) / 2};
    s.raRatePxPerSec = length(ra.firstWay);
    s.decRatePxPerSec = length(dec.firstWay);
    // The camera's turn as both axes show it (the Dec axis a right angle on from
    // RA, either way round with a mirror), so the seeing of single frames counts half.
    const double cross = ra.firstWay.x() * dec.firstWay.y() - ra.firstWay.y() * dec.firstWay.x();
    const double fromDecRad = (angleDeg(dec.firstWay) - (cross >= 0 ? 90 : -90)) * std::numbers::pi / 180;
    const QPointF raUnit = length(ra.firstWay) > 0 ? ra.firstWay / length(ra.firstWay) : QPointF();
    s.cameraAngleDeg = angleDeg(raUnit + QPointF(std::cos(fromDecRad), std::sin(fromDecRad)));

    for (const Axis *axis : {&ra, &dec}) {
        if (length(axis->firstWay) < limits.minRatePxPerSec) {
            s.failure = QStringLiteral("The star did not move when the mount was sent %1 and %2 (%3 px/s): is the "
                                       "mount answering, and is guiding switched on at the mount?")
                            .arg(axis->first, axis->second, QString::number(length(axis->firstWay), 'f', 2));
            return s;
        }
    }
    const double raScaled = s.raRatePxPerSec / std::clamp(limits.raRateScale, 0.05, 1.0);
    const bool raSlower = raScaled < s.decRatePxPerSec;
    const Axis &slow = raSlower ? ra : dec, &fast = raSlower ? dec : ra;
    const double ratio = raSlower ? s.decRatePxPerSec / raScaled : raScaled / s.decRatePxPerSec;
    if (ratio > limits.maxRateRatio) {
        s.failure = QStringLiteral("The %1 axis (%2, %3) moves the star %4 times slower than the %5 axis (%6 against "
                                   "%7 px/s; at most %8 times will guide): is that axis clamped, or its guide rate set "
                                   "low at the mount?")
                        .arg(slow.name, slow.first, slow.second, fixed1(ratio), fast.name,
                             QString::number(length(slow.firstWay), 'f', 2),
                             QString::number(length(fast.firstWay), 'f', 2), fixed1(limits.maxRateRatio));
        return s;
    }

    // The axis nearer the picture's x runs left-right; each is turned so that
    // its vector points toward +x or +y, and its letters follow.
    const bool raIsX = std::fabs(ra.firstWay.x()) >= std::fabs(dec.firstWay.x());
    const Axis &xAxis = raIsX ? ra : dec, &yAxis = raIsX ? dec : ra;
    const bool xFirstRight = xAxis.firstWay.x() >= 0, yFirstUp = yAxis.firstWay.y() >= 0;
    s.letters.right = xFirstRight ? xAxis.first : xAxis.second;
    s.letters.left = xFirstRight ? xAxis.second : xAxis.first;
    s.letters.up = yFirstUp ? yAxis.first : yAxis.second;
    s.letters.down = yFirstUp ? yAxis.second : yAxis.first;
    const QPointF right = xFirstRight ? xAxis.firstWay : -xAxis.firstWay;
    const QPointF up = yFirstUp ? yAxis.firstWay : -yAxis.firstWay;
    s.record.xAngleDeg = angleDeg(right);
    s.record.xRatePxPerSec = length(right);
    s.record.yAngleDeg = angleDeg(up);
    s.record.yRatePxPerSec = length(up);

    const double squareError = s.record.orthogonalityErrorDeg();
    if (squareError > limits.maxSquareErrorDeg) {
        s.failure = QStringLiteral("The mount's two axes move the star %1 degrees away from a right angle (at most %2 "
                                   "will guide): a star may have been mistaken for another, or the mount slipped; "
                                   "calibrate again.")
                        .arg(fixed1(squareError), fixed1(limits.maxSquareErrorDeg));
        return s;
    }
    // Right lies within 45 degrees of +x and up within 45 degrees of +y.
    const double skew = std::max(std::fabs(s.record.xAngleDeg), std::fabs(s.record.yAngleDeg - 90));
    if (oneAxisGuiding && skew > limits.maxBoxSkewDeg) {
        // A positive angle lies clockwise of the picture's edge as shown (y grows downwards).
        const double turn = s.record.xAngleDeg;
        s.failure = QStringLiteral("The mount moves the star %1 degrees askew of the picture's edges (at most %2 will "
                                   "guide one axis at a time): turn the camera on the telescope until the picture has "
                                   "turned %3 degrees %4, then calibrate again, or choose a guide algorithm that "
                                   "corrects both axes at once.")
                        .arg(fixed1(skew), fixed1(limits.maxBoxSkewDeg), fixed1(std::fabs(turn)),
                             turn > 0 ? QStringLiteral("anticlockwise") : QStringLiteral("clockwise"));
        return s;
    }
    return s;
}

} // namespace orvane
