// The guide star's place through the seeing: steadier than the frames, quick
// to take a real jump, and learning the mount's steady drift.

#include "drift_tracker.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace orvane {
namespace {

// Guides a star drifting `driftPx` per step, seen with `seeingPx` of noise,
// correcting `share` of the estimate plus the learned drift; returns the RMS
// of the star's true place about its mean over the last half of the steps.
double guidedScatterPx(double driftPx, double seeingPx, double share, bool tracked)
{
    std::mt19937 random(11);
    std::normal_distribution<double> seeing(0, seeingPx);
    DriftTracker tracker;
    double star = 0, sum = 0, sumSquares = 0;
    const int steps = 4000;
    for (int i = 0; i < steps; ++i) {
        star += driftPx;
        const double seen = star + seeing(random);
        double correction = share * seen;
        if (tracked)
            correction = share * tracker.update({seen, 0}).x() + tracker.driftPerStepPx().x();
        star -= correction;
        tracker.corrected({-correction, 0});
        if (i >= steps / 2)
            sum += star, sumSquares += star * star;
    }
    const double mean = sum / (steps / 2);
    return std::sqrt(sumSquares / (steps / 2) - mean * mean);
}

TEST(DriftTracker, SendsLessSeeingToTheMountThanTheFramesShow)
{
    const double frameByFrame = guidedScatterPx(0.13, 0.35, 0.7, false);
    const double tracked = guidedScatterPx(0.13, 0.35, 0.7, true);
    EXPECT_NEAR(frameByFrame, 0.35 * std::sqrt(0.7 / 1.3), 0.03); // the known floor of frame-by-frame correction
    EXPECT_LT(tracked, 0.75 * frameByFrame);
}

TEST(DriftTracker, LearnsTheSteadyDriftAndTakesAJumpAtOnce)
{
    DriftTracker tracker;
    double star = 0;
    for (int i = 0; i < 800; ++i) { // no noise: the estimate follows, the drift is learned
        star += 0.2;
        const double correction = 0.7 * tracker.update({star, -star}).x() + tracker.driftPerStepPx().x();
        star -= correction;
        tracker.corrected({-correction, correction});
    }
    EXPECT_NEAR(tracker.driftPerStepPx().x(), 0.2, 0.01);
    EXPECT_NEAR(tracker.driftPerStepPx().y(), -0.2, 0.01);

    const QPointF bumped(star + 3.0, 0); // a knock at the mount: further than any seeing
    EXPECT_EQ(tracker.update(bumped), bumped);
    tracker.restart(); // a new lock position: the next measurement is taken as it is
    EXPECT_EQ(tracker.update({-2.0, 1.0}), QPointF(-2.0, 1.0));
    EXPECT_NEAR(tracker.driftPerStepPx().x(), 0.2, 0.01) << "the mount's drift outlives a restart";
    tracker.reset();
    EXPECT_EQ(tracker.driftPerStepPx(), QPointF());
}

} // namespace
} // namespace orvane
