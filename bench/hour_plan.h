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

} // namespace orvane::bench
