#pragma once
// From the star's motion under each of the four direction letters to the
// mount's axes on the picture: which letter moves the star which way, how fast
// each axis moves it, how far the camera is turned and how square the axes
// stand; or a sentence saying why these moves cannot guide.

#include "calibration_record.h"
#include "move_decision.h"

#include <QPointF>
#include <QString>

namespace orvane {

// How fast the star image moved while the mount drove with each letter, in
// picture pixels per second of drive. A sky drift adds the same to all four
// when every letter was driven in steps of the same shape; it cancels out of
// each axis, which is the half difference of its two letters.
struct LetterVelocities {
    QPointF west, east, north, south; // letters w, e, n, s
};

struct CalibrationLimits {
    double minRatePxPerSec = 0.25; // an axis slower than this did not move the star
    double maxRateRatio = 3;       // the faster axis may move the star at most this many times faster
    double maxSquareErrorDeg = 10; // the axes may miss a right angle by this much
    double maxBoxSkewDeg = 20;     // one-axis guiding: an axis may lie this far off the picture's edges
    // cos(Dec) where the declination is known: RA moves the star that much slower
    // than Dec by nature, so its rate is compared divided by this.
    double raRateScale = 1;
};

struct CalibrationSolution {
    QString failure;          // empty when the moves can guide
    DirectionTexts letters;   // the letter that moves the star toward +y (up), -y, -x (left), +x (right)
    CalibrationRecord record; // x: the DirLeft/DirRight axis, y: the DirUp/DirDown axis (`when` left empty)
    double cameraAngleDeg = 0; // where the w letter moves the star, degrees from +x toward +y
    double raRatePxPerSec = 0, decRatePxPerSec = 0;
    bool ok() const { return failure.isEmpty(); }
    // The Options dialog's Pixels/Sec: the mean of the two axes, rounded, at least 1.
    int pixPerSec() const;
};

// `oneAxisGuiding`: the guide algorithm corrects along one picture edge at a
// time, so the axes must lie close to the edges.
CalibrationSolution solveCalibration(const LetterVelocities &moves, bool oneAxisGuiding,
                                     const CalibrationLimits &limits = {});

// Degrees of `v` from +x toward +y, in (-180, 180].
double angleDeg(QPointF v);

} // namespace orvane
