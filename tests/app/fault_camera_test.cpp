// The capture device vanishing in the middle of a guided run.
#include "fault_fixture.h"

using namespace orvane;
using namespace orvane::test;

TEST(FaultCamera, WebcamUnpluggedMidRunIsToldOnceAndNoOlderPictureIsSavedAsANewFrame)
{
    FaultRig rig(5);
    size_t sendsBefore = 0;
    rig.duringFrame(3, [&] {
        rig.webcam->vanish();
        sendsBefore = rig.tap.sends.size();
    });
    ASSERT_TRUE(rig.run());

    // The sentence reaches the user once, however many read-outs fail after it.
    EXPECT_EQ(rig.panel.controls.notices.count(VanishingCamera::sentence()), 1)
        << rig.panel.controls.notices.join("\n").toStdString();
    EXPECT_TRUE(rig.panel.messages.isEmpty()) << rig.panel.messages.join("\n").toStdString();

    // The sequence goes through its frames; the two read before are on disk, whole.
    EXPECT_EQ(rig.imageReadouts(), 5);
    EXPECT_TRUE(rig.wholeFrames(rig.saveDir, frameNames(1, 2))) << rig.framesIn(rig.saveDir).join(" ").toStdString();
    // Each later frame is named as not saved, with the reason.
    for (const QString &name : frameNames(3, 5))
        EXPECT_EQ(rig.noticesNaming(name + ": the camera delivered no picture for it."), 1) << name.toStdString();

    // Without guide frames the mount is not moved on an old picture: after the
    // camera went, only stops were sent.
    ASSERT_GT(sendsBefore, 0u);
    for (size_t i = sendsBefore; i < rig.tap.sends.size(); ++i)
        EXPECT_EQ(rig.tap.sends[i].bytes, QByteArray(kStopAll)) << i;

    EXPECT_EQ(rig.lastPortByte(), rig.settings.GetImageState);
    EXPECT_EQ(rig.tap.sends.back().bytes, QByteArray(kStopAll));
    EXPECT_TRUE(rig.tap.sends.back().delivered);
    EXPECT_FALSE(rig.comm.PortOpen());
}

TEST(FaultCamera, CameraGoneBeforeTheGuideFrameStillEndsTheRunInOrder)
{
    FaultRig rig(2);
    rig.webcam->vanish();
    // Nobody can find a star on no picture; the user clicks Stop instead.
    rig.pump.at(rig.clock.now() + 3000, [&] { rig.sequence.onCommand1Click(); });
    EXPECT_NO_THROW(rig.sequence.onCommand1Click());
    EXPECT_FALSE(rig.sequence.running());
    EXPECT_EQ(rig.panel.controls.notices, QStringList{VanishingCamera::sentence()});
    EXPECT_TRUE(rig.framesIn(rig.saveDir).isEmpty());
    EXPECT_EQ(rig.lastPortByte(), rig.settings.GetImageState);
    EXPECT_EQ(rig.tap.lastDelivered(), QByteArray(kStopAll));
}

TEST(FaultCamera, LineDoublingLeavesAnOlderPictureAlone)
{
    // With "2x1 Bin" ticked a read-out without a frame must not double the rows
    // of the picture still shown (the last guide frame).
    FaultRig rig(3);
    rig.panel.controls.lineDoubling = true;
    QImage shownAtVanish;
    rig.duringFrame(2, [&] {
        rig.webcam->vanish();
        shownAtVanish = rig.picture.picture();
    });
    ASSERT_TRUE(rig.run());
    EXPECT_EQ(rig.picture.picture(), shownAtVanish);
    EXPECT_TRUE(rig.wholeFrames(rig.saveDir, frameNames(1, 1)));
}
