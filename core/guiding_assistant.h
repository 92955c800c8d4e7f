#pragma once
// What the night does to a star when nothing corrects it: from the star's
// place at each guide frame, the seeing jitter, the drift (and the polar
// alignment error it means, where the pixel scale and declination are known)
// and the periodic error; then the guide settings that suit it. The guiding
// assistant gathers the places with corrections off; a guider server may feed
// it too.

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
};

// Needs at least 20 places; a period is looked for between 60 s and the watch's length.
std::optional<NightFigures> measureNight(const std::vector<WatchedPlace> &places,
                                         std::optional<double> pixelScaleArcsecPerPx = {},
                                         std::optional<double> declinationDeg = {});

struct GuideAdvice {
    double guideExposureS = 1;
    double minMovePx = 0.2;
    double aggressiveness = 0.7;
    QString decMode;  // "both ways" or "one way (north or south only)"
    QStringList why;  // one sentence per figure
};

// Settings for the night measured: the least move above the seeing's jitter,
// the exposure long enough to average the seeing but short beside the drift,
// a gentler aggressiveness where the seeing dominates.
GuideAdvice adviseGuiding(const NightFigures &night, double decBacklashMs = 0);

} // namespace orvane
