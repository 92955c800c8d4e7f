#pragma once
// The Dec backlash read from a short test: the mount drives north in steps
// until the star has clearly moved (the gears now pushed north), then south in
// steps; the south drive that passes before the star comes back is the slack.
// The star's place after each step, less the sky's own drift, is all it needs.

#include <QPointF>
#include <QString>

#include <optional>
#include <vector>

namespace orvane {

struct BacklashPlace {
    double driveMs = 0;  // drive sent in this leg so far, ms at guide rate
    double clockS = 0;   // when the place was seen, seconds since the test began
    QPointF placePx;     // the star on the picture, pixels
};

struct BacklashReading {
    double backlashMs = 0;   // south drive lost before the star moved back, ms (0: none measurable)
    double backlashPx = 0;   // the same as star motion at the measured rate, pixels
    double ratePxPerSec = 0; // Dec guide rate on the picture, from the north leg
    QPointF northPx;         // unit vector: where the 'n' letter moves the star on the picture
};

// `north` and `south` begin with the place before their first step; a place is
// taken after each step. `driftPxPerS` is the sky's own motion, taken off
// every place. Nothing, with `why` set, when the north leg did not move the
// star steadily or the south leg never brought it back.
std::optional<BacklashReading> readBacklash(const std::vector<BacklashPlace> &north,
                                            const std::vector<BacklashPlace> &south, QPointF driftPxPerS,
                                            QString *why = nullptr);

// The star must leave a circle this wide for a step to count as moving it.
inline constexpr double kBacklashMovedPx = 1.0;

} // namespace orvane
