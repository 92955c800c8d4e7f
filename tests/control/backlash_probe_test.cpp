// The guiding assistant's Dec backlash test on the simulated sky and mount:
// the slack the mount was given is measured, whichever way its gears were
// last pushed; Stop ends the test with the mount still.
#include "backlash_probe.h"
#include "rig_builder.h"

#include <gtest/gtest.h>

using namespace orvane;

namespace {

struct ProbedRig : test::TestRig {
    explicit ProbedRig(double backlashMs)
        : test::TestRig({.startMs = 20000, .camera = test::RigCamera::SimulatedSky,
                         .link = test::RigLink::SimulatedMount, .mount = {.decBacklashMs = backlashMs}})
    {
    }
    QPointF star() { return simCamera->starField().guideStar() + sky.offsetAt(clock.now()); }
    BacklashProbe probe(const std::function<bool()> &stopAsked = {})
    {
        const SkyMotion &m = sky.motion();
        const BacklashProbeOptions options{.exposureMs = 1000,
                                           .driftPxPerS = QPointF(m.driftXPxPerMin, m.driftYPxPerMin) / 60};
        return probeDecBacklash(rig, star(), options, stopAsked);
    }
};

} // namespace

TEST(BacklashProbe, MeasuresTheSlackOfTheSimulatedMount)
{
    struct Case {
        double backlashMs;
        bool pushedSouthFirst; // the gears were left pushed south: the north leg takes up slack too
    };
    for (const Case c : {Case{0, false}, Case{1500, false}, Case{1500, true}, Case{3000, false}}) {
        SCOPED_TRACE(testing::Message() << c.backlashMs << " ms, pushed south first " << c.pushedSouthFirst);
        ProbedRig r(c.backlashMs);
        if (c.pushedSouthFirst) {
            ASSERT_TRUE(r.comm.setPortOpen(true));
            r.rig.sendGuideMove("n");
            r.clock.advance(500);
            r.rig.sendStopAll();
            r.rig.sendGuideMove("s");
            r.clock.advance(c.backlashMs + 1000);
            r.rig.sendStopAll();
            ASSERT_TRUE(r.comm.setPortOpen(false));
        }
        const BacklashProbe probe = r.probe();
        ASSERT_TRUE(probe.reading) << probe.failure.toStdString();
        std::cout << "backlash " << c.backlashMs << " ms: measured " << probe.reading->backlashMs << " ms, "
                  << probe.reading->backlashPx << " px at " << probe.reading->ratePxPerSec << " px/s\n";
        EXPECT_NEAR(probe.reading->backlashMs, c.backlashMs, std::max(0.2 * c.backlashMs, 100.0));
        EXPECT_NEAR(probe.reading->ratePxPerSec, r.mount.options().decRate(), 0.1 * r.mount.options().decRate());
        EXPECT_NEAR(probe.reading->northPx.y(), 1, 0.05) << "north moves the star down the picture";
        EXPECT_NEAR(probe.starPx.x(), r.star().x(), 1.5) << "the star is followed to its last place";
        EXPECT_FALSE(r.comm.PortOpen()) << "the link is left closed as it was found";
        for (char letter : {'n', 's', 'e', 'w'})
            EXPECT_FALSE(r.mount.moving(letter));
    }
}

TEST(BacklashProbe, StopEndsItWithTheMountStill)
{
    ProbedRig r(1500);
    const uint32_t began = r.clock.now();
    const BacklashProbe probe = r.probe([&] { return elapsedMs(began, r.clock.now()) > 5000; });
    EXPECT_TRUE(probe.stopped);
    EXPECT_FALSE(probe.reading);
    EXPECT_LT(elapsedMs(began, r.clock.now()), 6500u) << "within a step";
    for (char letter : {'n', 's', 'e', 'w'})
        EXPECT_FALSE(r.mount.moving(letter));
}
