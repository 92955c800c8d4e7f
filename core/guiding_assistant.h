#pragma once
// What the night does to a star when nothing corrects it: from the star's
// place at each guide frame, the seeing jitter, the drift (and the polar
// alignment error it means, where the pixel scale and declination are known)
// and the periodic error; then the guide settings that suit it. The guiding
// assistant gathers the places with corrections off; a guider server may feed
// it too. The Dec backlash comes from a short test of its own at the end
// (control/backlash_probe).

#include "backlash_reading.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace orvane {

struct WatchedPlace {
    double seconds = 0; // since the watch began
    double xPx = 0, yPx = 0;
};

struct NightFigures {
    double jitterXPx = 0, jitterYPx = 0; // RMS of the frame-to-frame seeing motion, pixels
    double driftXPxPerMin = 0, driftYPxPerMin = 0;
    double periodicErrorPx = 0;          // amplitude along x (RA's usual picture axis), pixels
    double periodicErrorPeriodS = 0;     // 0: not found (the watch was shorter than a period)
    std::optional<double> polarErrorArcmin; // where the pixel scale and declination are known
    int samples = 0;
    std::optional<BacklashReading> decBacklash; // the backlash test's, when it ran
};

// Needs at least 20 places; a period is looked for between 60 s and the watch's length.
std::optional<NightFigures> measureNight(const std::vector<WatchedPlace> &places,
                                         std::optional<double> pixelScaleArcsecPerPx = {},
                                         std::optional<double> declinationDeg = {});

// The polar alignment error the drift method reads from the star's drift
// along the Dec axis: 3.81 arc-minutes per arc-second a minute, over
// cos(Dec); nothing without the pixel scale or the declination, or within 5
// degrees of a pole (where the method does not hold).
std::optional<double> polarAlignmentErrorArcmin(double decDriftPxPerMin, std::optional<double> pixelScaleArcsecPerPx,
                                                std::optional<double> declinationDeg);

// The drift along the Dec axis, which stands at `decAxisDeg` on the picture
// (degrees from +x toward +y, either way along it), pixels per minute.
double decDriftPxPerMin(const NightFigures &night, double decAxisDeg);

struct GuideAdvice {
    double guideExposureS = 1;
    double minMovePx = 0.2;
    double aggressiveness = 0.7;
    QString decMode;          // [guiding] decMode to use; empty: not advised (no backlash test)
    bool decBacklash = false; // [guiding] decBacklash: compensate the slack (with decMode set)
    QStringList why;          // one sentence per figure
};

// A Dec backlash at least this long is worth guiding around, ms.
inline constexpr double kNotableBacklashMs = 500;

// Settings for the night measured: the least move above the seeing's jitter,
// the exposure long enough to average the seeing but short beside the drift,
// a gentler aggressiveness where the seeing dominates; with a notable Dec
// backlash, Dec guided one way (the way that counters a steady Dec drift,
// so the gears stay pushed one way) or, without such a drift, both ways with
// the slack compensated.
GuideAdvice adviseGuiding(const NightFigures &night);

// "both ways", "north only", "south only", "off" for a [guiding] decMode value.
QString decModeWords(const QString &decMode, bool compensated = false);

} // namespace orvane
