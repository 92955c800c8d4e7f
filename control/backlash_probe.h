#pragma once
// The guiding assistant's Dec backlash test on the rig: with the star
// followed on a guide frame after every step, the mount drives north in short
// steps until the star has clearly moved (the gears pushed north), then south
// until it has come back a few pixels; readBacklash tells how much south drive
// went by before it did. The mount link is opened for it when it is closed
// (and closed again after).

#include "backlash_reading.h"
#include "rig.h"

#include <functional>

namespace orvane {

struct BacklashProbeOptions {
    int32_t exposureMs = 1000;      // the guide exposure after each step, ms
    QPointF driftPxPerS;            // the sky's own drift, as the watch measured it, pixels per second
    double expectedRatePxPerSec = 5; // sizes the steps (about 2.5 px each); the rate itself is measured
};

struct BacklashProbe {
    std::optional<BacklashReading> reading;
    QString failure;  // why nothing was read; empty when `reading` holds it or it was stopped
    bool stopped = false;
    QPointF starPx;   // where the star stood at the last frame, pixels
};

// The longest north or south drive the test sends before giving up, ms.
inline constexpr int32_t kBacklashProbeMostMs = 8000;

// Tests the Dec backlash around the star at `starPx`; `stopAsked` is looked at
// during every wait, `progress` told what is being done. The mount is still
// and the camera lines at rest afterwards.
BacklashProbe probeDecBacklash(Rig &rig, QPointF starPx, const BacklashProbeOptions &options,
                               const std::function<bool()> &stopAsked, const std::function<void(const QString &)> &progress = {});

} // namespace orvane
