// Guiding switched off by the user while a correction is running: the
// correction ends at once, and the run's end stops the mount again.
#include "fault_fixture.h"

using namespace orvane;
using namespace orvane::test;

TEST(FaultGuiding, UntickingGuidingDuringACorrectionStillStopsTheMountAtTheEnd)
{
    FaultRig rig(1);
    // The lock lies 10 pixels off the star: the first guide step (1 s into the
    // exposure) starts a 2-second correction.
    rig.markOffset = QPointF(10, 0);
    bool movingWhenUnticked = false, movingJustAfter = true;
    rig.duringFrame(1, [&] {
        movingWhenUnticked = rig.mount.moving('e') || rig.mount.moving('w');
        rig.panel.controls.guiding = false;
        rig.pump.at(rig.clock.now() + 1, [&] { movingJustAfter = rig.mount.moving('e') || rig.mount.moving('w'); });
    });
    ASSERT_TRUE(rig.run());
    ASSERT_TRUE(movingWhenUnticked);
    EXPECT_FALSE(movingJustAfter); // stopped at once, not at the end of the run
    // The run's end leaves the telescope still, whatever the box says by then.
    for (char direction : {'n', 's', 'e', 'w'})
        EXPECT_FALSE(rig.mount.moving(direction)) << direction;
    EXPECT_EQ(rig.tap.sends.back().bytes, QByteArray(kStopAll));
    EXPECT_TRUE(rig.tap.sends.back().delivered);
    EXPECT_EQ(rig.lastPortByte(), rig.settings.GetImageState);
    EXPECT_TRUE(rig.wholeFrames(rig.saveDir, frameNames(1, 1)));
    EXPECT_FALSE(rig.comm.PortOpen());
}
