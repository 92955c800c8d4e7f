#pragma once
// The night the rehearsal benchmarks run: one hour of 60 guided exposures of
// 60 s, a guide step every 2 s, with the default orvane.cfg of the simulated rig.

#include "rehearsal.h"
#include "rig_builder.h"

namespace orvane::bench {

inline RehearsalPlan oneHourPlan()
{
    RehearsalPlan plan;
    plan.settings = test::simulatedRigSettings();
    plan.exposure = QStringLiteral("60");
    plan.guide = QStringLiteral("2");
    plan.frameCount = QStringLiteral("60");
    plan.fileStem = QStringLiteral("Image");
    plan.guidingTicked = true;
    return plan;
}

// A whole night on the hard simulated sky: 600 guided exposures of 60 s, a
// guide step every 2 s, on the centroid way after a calibration with every
// hard-night setting on (5 guide stars, the error predicted, Dec backlash).
inline RehearsalPlan tenHourHardPlan()
{
    RehearsalPlan plan = oneHourPlan();
    plan.frameCount = QStringLiteral("600");
    plan.sky = SkyMotion::hardNight();
    plan.mount = SimMountOptions::hardNight();
    plan.camera = SimCameraOptions::hardNight();
    plan.guiding.chooseAlgorithm(QStringLiteral("centroid"));
    GuidingSettings &options = plan.guiding.Options;
    options.algorithm = QStringLiteral("centroid");
    options.guideStars = 5;
    options.predict = true;
    options.decBacklash = true;
    plan.guiding.Axes = pictureAxes(plan.mount.guideRatePxPerSec);
    return plan;
}

} // namespace orvane::bench
