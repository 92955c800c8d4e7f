// The commands a guide step sends: timed pulses instead of move and stop, and
// two-axis corrections that end each axis at its own time.

#include "rig_fixture.h"

using namespace orvane;
using orvane::test::RigTest;

namespace {

// A way of measuring that sees the star 3 px right of and 2 px below its lock.
constexpr GuideAlgorithm kSeesDrift{"test", [](const PixelView &, double, double, int, double) {
    return StarMeasurement{.driftX = 3, .driftY = 2, .found = true, .mass = 500};
}};
constexpr GuideAlgorithm kSeesDriftTwoAxis{"test2", kSeesDrift.measure, true};

class TwoAxisMovesTest : public RigTest {
protected:
    // Measure and start the moves; returns what went over the link.
    QByteArray guideOnce()
    {
        opener.writes.clear();
        rig.MeasureGuideStar();
        rig.StartGuideMove();
        return opener.sent();
    }
    // Runs the move timer on the simulated clock up to `ms` later; returns what it sent and when.
    std::vector<std::pair<int64_t, QByteArray>> runFor(int64_t ms)
    {
        opener.writes.clear();
        std::vector<std::pair<int64_t, QByteArray>> sent;
        const uint32_t from = clock.now();
        while (elapsedMs(from, clock.now()) < ms) {
            const auto due = rig.nextMoveCheckMs();
            if (!due || elapsedMs(from, *due) >= ms)
                break;
            clock.set(*due);
            const qsizetype before = opener.writes.size();
            rig.UpdateGuideMoves();
            for (qsizetype i = before; i < opener.writes.size(); ++i)
                sent.emplace_back(elapsedMs(from, clock.now()), opener.writes[i]);
        }
        return sent;
    }
};

} // namespace

TEST_F(TwoAxisMovesTest, TheBoxWayWithPulsesLetsTheMountTimeTheMove)
{
    guiding.Algorithm = &kSeesDrift;
    EXPECT_EQ(guideOnce(), QByteArray(kStopAll) + ":RG#:Me#") << "pulses off: move, then stop-all";
    guiding.Options.pulse = true;
    // x drift 3 px at 5 px/s: the move timer would stop once under 2 px, at 201 ms.
    EXPECT_EQ(guideOnce(), ":Mge00201#");
    EXPECT_EQ(guiding.MoveDirX, 0) << "nothing left for the program to stop";
    EXPECT_TRUE(runFor(5000).empty());
}

TEST_F(TwoAxisMovesTest, BothAxesStartTogetherAndEachStopsAtItsOwnTime)
{
    guiding.Algorithm = &kSeesDriftTwoAxis;
    // 0.7 x 3 px = 2.1 px at 5 px/s: 420 ms east; 0.7 x 2 px: 280 ms south.
    EXPECT_EQ(guideOnce(), ":RG#:Me#:Ms#");
    const auto stops = runFor(5000);
    ASSERT_EQ(stops.size(), 2u);
    EXPECT_EQ(stops[0], std::make_pair(int64_t(280), QByteArray(":Qs#")));
    EXPECT_EQ(stops[1], std::make_pair(int64_t(420), QByteArray(kStopAll)));

    guiding.Options.pulse = true;
    EXPECT_EQ(guideOnce(), ":Mge00420#:Mgs00280#");
    EXPECT_TRUE(runFor(5000).empty());

    // A calibration that found the camera turned 90 degrees: east moves the star
    // toward +y, north toward -x (the same letters, other directions).
    CalibrationRecord turned;
    turned.xAngleDeg = 90;
    turned.yAngleDeg = 180;
    turned.xRatePxPerSec = turned.yRatePxPerSec = 5;
    guiding.Axes = turned;
    EXPECT_EQ(guideOnce(), ":Mge00280#:Mgn00420#");
}
