// The Dec backlash measured while guiding, against a mount of known slack, and
// given up on a mount that overshoots.

#include "dec_backlash.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace orvane {
namespace {

constexpr double kRate = 5; // pixels per second

// Reversals of 1 px (200 ms), each followed by a step that shows where the star
// went. `move` gives the pixels a move of so many ms really brings.
template <class Mount>
DecBacklash reversals(int count, Mount move)
{
    DecBacklash backlash;
    for (int k = 0; k < count; ++k) {
        const int dir = k % 2 ? 1 : -1;
        const double place = dir * 1.0;
        const int32_t extra = backlash.extraMs(dir, place, 200, place, 0, kRate);
        const double residual = place - dir * move(200 + extra);
        backlash.extraMs(0, 0, 0, residual, 0, kRate); // a step with Dec at rest
    }
    return backlash;
}

TEST(DecBacklash, MeasuresTheSlackOfAMountAndGivesUpOnOneThatOvershoots)
{
    for (const double slackMs : {300.0, 1500.0, 3000.0}) {
        const DecBacklash learned = reversals(12, [&](double ms) { return std::max(0.0, ms - slackMs) / 1000 * kRate; });
        EXPECT_NEAR(learned.sizeMs(), slackMs, 0.1 * slackMs + 60) << slackMs << " ms of slack";
        EXPECT_FALSE(learned.gaveUp());
    }
    // No slack, and every reversing move goes twice as far as asked.
    DecBacklash overshooting = reversals(6, [](double ms) { return 2 * ms / 1000 * kRate; });
    EXPECT_TRUE(overshooting.gaveUp());
    EXPECT_EQ(overshooting.extraMs(1, 1, 200, 1, 0, kRate), 0);
    EXPECT_EQ(overshooting.extraMs(-1, -1, 200, -1, 0, kRate), 0);
}

} // namespace
} // namespace orvane
