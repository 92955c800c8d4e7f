#include "drift_stats.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace orvane;

namespace {

GuideStep step(double dx, double dy, bool found = true)
{
    GuideStep s;
    s.dxPx = dx;
    s.dyPx = dy;
    s.starFound = found;
    return s;
}

} // namespace

TEST(DriftStats, RmsAndPeakCountOnlyStepsWithAStar)
{
    DriftStats stats;
    EXPECT_EQ(stats.rmsTotalPx(), 0); // nothing measured yet: no division by zero
    // A lost step's stale drift (9, 9) must not count.
    for (const GuideStep &s : {step(3, -4), step(9, 9, false), step(-1, 0), step(0, 2)})
        stats.add(s);
    EXPECT_EQ(stats.steps(), 4);
    EXPECT_EQ(stats.lostSteps(), 1);
    EXPECT_DOUBLE_EQ(stats.rmsXPx(), std::sqrt((9.0 + 1 + 0) / 3));
    EXPECT_DOUBLE_EQ(stats.rmsYPx(), std::sqrt((16.0 + 0 + 4) / 3));
    EXPECT_DOUBLE_EQ(stats.rmsTotalPx(), std::sqrt((25.0 + 1 + 4) / 3));
    EXPECT_DOUBLE_EQ(stats.peakPx(), 5);
    // A step taken while settling after a dither is left out, and the figures say so.
    GuideStep settling = step(6, 0);
    settling.settling = true;
    stats.add(settling);
    EXPECT_EQ(stats.steps(), 4);
    EXPECT_DOUBLE_EQ(stats.peakPx(), 5);
    EXPECT_TRUE(driftFigures(stats).endsWith("; 1 settling steps left out")) << driftFigures(stats).toStdString();
    stats.clear();
    EXPECT_EQ(stats.steps(), 0);
    EXPECT_EQ(stats.peakPx(), 0);
}
