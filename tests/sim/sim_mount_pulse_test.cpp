// Timed guide pulses (":Mg<d><ms>#") on the simulated mount: the star image
// moves at guide rate for exactly that long, both axes of one write together.

#include "sim_mount.h"
#include "clock.h"
#include "sky.h"

#include <gtest/gtest.h>

namespace orvane::test {
namespace {

TEST(SimMountPulses, APulseMovesTheStarAtGuideRateForItsLengthOnly)
{
    struct Case {
        QByteArray command;
        QPointF movedPx; // after the pulses have ended
    };
    const Case cases[] = {
        {":Mgn01000#", {0, 5}},              // 1 s north at 5 px/s
        {":Mge00400#", {-2, 0}},             // 0.4 s east
        {":Mgw00200#:Mgs00600#", {1, -3}},   // both axes in one write, each for its own time
        {":RS#:Mgn00200#", {0, 1}},          // at guide rate whatever rate is selected
        {":Mgx00500#:Mgn123#:Mgn0100#", {0, 0}}, // no such direction, too few digits: ignored
    };
    for (const Case &c : cases) {
        SimClock clock{5000};
        SimSky sky{5000, {0, 0, 0, 480}};
        SimMount mount{sky, clock};
        mount.receive(c.command);
        clock.advance(100);
        const QPointF early = sky.offsetAt(clock.now());
        clock.advance(2900);
        EXPECT_NEAR(sky.offsetAt(clock.now()).x(), c.movedPx.x(), 1e-9) << c.command.constData();
        EXPECT_NEAR(sky.offsetAt(clock.now()).y(), c.movedPx.y(), 1e-9) << c.command.constData();
        if (!c.movedPx.isNull()) {
            EXPECT_FALSE(early.isNull()) << "moving while the pulse runs: " << c.command.constData();
        }
        clock.advance(5000);
        EXPECT_EQ(sky.offsetAt(clock.now()), sky.offsetAt(clock.now() - 5000)) << "still after the pulses";
    }
}

TEST(SimMountPulses, APulseWhilePulsesRunIsNotStacked)
{
    SimClock clock{5000};
    SimSky sky{5000, {0, 0, 0, 480}};
    SimMount mount{sky, clock};
    mount.receive(":Mgn01000#");
    clock.advance(500);
    mount.receive(":Mgn01000#");
    const int commands = mount.commandCount();
    clock.advance(2000);
    EXPECT_EQ(commands, 1);
    EXPECT_EQ(sky.offsetAt(clock.now()), QPointF(0, 5));
    mount.receive(":Mgn00400#"); // once they have ended, the next is taken
    clock.advance(1000);
    EXPECT_EQ(sky.offsetAt(clock.now()), QPointF(0, 7));
}

} // namespace
} // namespace orvane::test
