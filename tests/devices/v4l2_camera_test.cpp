// The webcam's frame stream against a fake device: which frame a copy returns,
// how long it may wait, and what happens when the device goes away.
#include "capture_device.h"
#include "v4l2_camera.h"
#include "v4l2_fake.h"

#include <gtest/gtest.h>

namespace orvane {
namespace {

using test::FakeV4l2;

class V4l2CameraTest : public ::testing::Test {
protected:
    SimClock clock{5000};
    std::shared_ptr<FakeV4l2> fake = std::make_shared<FakeV4l2>(clock);
    V4l2Camera camera{fake, QStringLiteral("/dev/video0"), QStringLiteral("Fake Webcam"), clock};
    NoticeList told; // the camera's problems

    void SetUp() override { camera.setProblemNotifier(&told); }

    void connectOk()
    {
        Result r = camera.connect();
        ASSERT_TRUE(r.ok()) << r.error().toStdString();
    }
    static int brightness(const std::optional<QImage> &frame)
    {
        return frame ? qRed(frame->pixel(frame->width() / 2, frame->height() / 2)) : -1;
    }
};

TEST_F(V4l2CameraTest, ConnectStreamsUncompressedAtThePictureSize)
{
    connectOk();
    EXPECT_EQ(camera.mode(), (V4l2Mode{V4L2_PIX_FMT_YUYV, 640, 480, {1, 30}}));
    EXPECT_TRUE(fake->streaming);
    EXPECT_EQ(camera.bufferCount(), V4l2Camera::kBufferCount);
    EXPECT_EQ(fake->mapped, int(V4l2Camera::kBufferCount));
    EXPECT_EQ(fake->queuedCount(), V4l2Camera::kBufferCount);
    EXPECT_EQ(camera.frameWaitMs(), 67); // two periods of 1/30 s, rounded up
}

TEST_F(V4l2CameraTest, CopyReturnsTheNewestOfSeveralReadyFramesAtOnce)
{
    connectOk();
    camera.setSequencing(true);
    fake->deliver(10);
    fake->deliver(20);
    fake->deliver(30);
    const uint32_t before = clock.now();
    std::optional<QImage> frame = camera.copyFrame();
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->size(), QSize(640, 480));
    EXPECT_EQ(frame->pixel(0, 0), qRgb(30, 30, 30));
    EXPECT_EQ(frame->pixel(639, 479), qRgb(30, 30, 30));
    EXPECT_EQ(clock.now(), before) << "a current frame needs no wait";
    EXPECT_EQ(fake->waits, 0);
    EXPECT_EQ(fake->queuedCount(), V4l2Camera::kBufferCount) << "every buffer goes back to the device";
    EXPECT_TRUE(told.notices.isEmpty());
}

TEST_F(V4l2CameraTest, DamagedAndEmptyFramesAreNotComplete)
{
    connectOk();
    fake->deliver(10);
    fake->deliver(20, V4L2_BUF_FLAG_ERROR);
    fake->deliver(30, 0, 0);
    EXPECT_EQ(brightness(camera.copyFrame()), 10);
}

TEST_F(V4l2CameraTest, FramesHeldSinceLongAgoAreReplacedByAFreshOne)
{
    connectOk();
    camera.setSequencing(true);
    // Every buffer filled: the device has been dropping frames since then.
    for (uint8_t luma : {10, 20, 30, 40})
        ASSERT_TRUE(fake->deliver(luma));
    EXPECT_FALSE(fake->deliver(50)) << "no buffer left: the device drops it";
    fake->frameEveryMs = 33;
    fake->nextLuma = 99;
    const uint32_t before = clock.now();
    EXPECT_EQ(brightness(camera.copyFrame()), 99);
    EXPECT_EQ(clock.now() - before, 33u);
    EXPECT_EQ(fake->queuedCount(), V4l2Camera::kBufferCount);
}

TEST_F(V4l2CameraTest, WhileSequencingAnOldFrameIsNeverReturned)
{
    connectOk();
    camera.setSequencing(true);
    for (uint8_t luma : {10, 20, 30, 40})
        fake->deliver(luma);
    const uint32_t before = clock.now();
    EXPECT_FALSE(camera.copyFrame());
    EXPECT_EQ(clock.now() - before, 67u) << "the wait ends after two frame periods";
    EXPECT_LE(fake->waits, 2) << "the wait sleeps, it does not spin";
    EXPECT_EQ(told.notices, QStringList{"The webcam Fake Webcam (/dev/video0) sent no new frame within 67 ms."});
    EXPECT_EQ(fake->queuedCount(), V4l2Camera::kBufferCount);
}

TEST_F(V4l2CameraTest, OutsideASequenceAnOldFrameIsBetterThanNothing)
{
    connectOk();
    for (uint8_t luma : {10, 20, 30, 40})
        fake->deliver(luma);
    EXPECT_EQ(brightness(camera.copyFrame()), 40);
    EXPECT_TRUE(told.notices.isEmpty());
}

TEST_F(V4l2CameraTest, AnEmptyQueueWaitsForOneFrameAtMostTwoPeriods)
{
    connectOk();
    ASSERT_TRUE(camera.applyMode({V4L2_PIX_FMT_YUYV, 640, 480, {1, 5}}).ok());
    EXPECT_EQ(camera.frameWaitMs(), 400);
    fake->frameEveryMs = 150;
    fake->nextLuma = 77;
    EXPECT_EQ(brightness(camera.copyFrame()), 77);

    fake->frameEveryMs = 0; // the device has stopped sending
    const uint32_t before = clock.now();
    EXPECT_FALSE(camera.copyFrame());
    EXPECT_EQ(clock.now() - before, 400u);
    EXPECT_EQ(told.notices.size(), 1);
}

TEST_F(V4l2CameraTest, AShortFrameIsNotShownAndSaysWhy)
{
    connectOk();
    camera.setSequencing(true);
    fake->deliver(50, 0, 1000); // a 640 x 480 YUYV frame is 614,400 bytes
    EXPECT_FALSE(camera.copyFrame());
    EXPECT_TRUE(told.notices.value(0).startsWith(QStringLiteral("The webcam Fake Webcam (/dev/video0) sent a frame that could not be read: ")));
}

TEST_F(V4l2CameraTest, AVanishedDeviceGivesOneSentenceAndNoFrames)
{
    connectOk();
    fake->deliver(10);
    ASSERT_TRUE(camera.copyFrame());
    fake->vanish(ENODEV);
    EXPECT_FALSE(camera.copyFrame());
    EXPECT_FALSE(camera.copyFrame());
    EXPECT_EQ(told.notices, QStringList{"The webcam Fake Webcam (/dev/video0) stopped answering: No such device."}) << "told once";
    EXPECT_FALSE(camera.isConnected());
    EXPECT_EQ(fake->closes, fake->opens);
    EXPECT_EQ(fake->mapped, 0) << "buffers unmapped";
}

TEST_F(V4l2CameraTest, AnInputOutputErrorOnTheStreamCountsAsVanished)
{
    connectOk();
    fake->failing[VIDIOC_DQBUF] = EIO;
    EXPECT_FALSE(camera.copyFrame());
    EXPECT_EQ(told.notices, QStringList{"The webcam Fake Webcam (/dev/video0) stopped answering: Input/output error."});
    EXPECT_FALSE(camera.isConnected());
}

TEST_F(V4l2CameraTest, AVanishedDeviceCanBeConnectedAgainWhenItIsBack)
{
    connectOk();
    fake->vanish();
    EXPECT_FALSE(camera.copyFrame());
    fake->lostError = 0;
    fake->buffers.clear(); // a new device instance
    connectOk();
    fake->deliver(60);
    EXPECT_EQ(brightness(camera.copyFrame()), 60);
}

TEST_F(V4l2CameraTest, FailuresToStartNameTheDeviceAndTheCause)
{
    fake->nodes[0].openError = EACCES;
    Result opened = camera.connect();
    EXPECT_EQ(opened.error(), QStringLiteral("The webcam Fake Webcam (/dev/video0) could not be opened: Permission denied."));

    fake->nodes[0].openError = 0;
    fake->failing[VIDIOC_S_FMT] = EBUSY;
    Result busy = camera.connect();
    EXPECT_EQ(busy.error(), QStringLiteral("The webcam Fake Webcam (/dev/video0) could not start (setting the format): Device or resource busy."));
    EXPECT_FALSE(camera.isConnected());
    EXPECT_EQ(fake->closes, fake->opens) << "nothing left open";

    fake->failing.clear();
    fake->nodes[0].deviceCaps = V4L2_CAP_META_CAPTURE | V4L2_CAP_STREAMING;
    EXPECT_EQ(camera.connect().error(), QStringLiteral("The webcam Fake Webcam (/dev/video0) does not stream video."));
}

TEST_F(V4l2CameraTest, ANewModeRestartsTheStreamAndOutlivesReconnecting)
{
    connectOk();
    ASSERT_TRUE(camera.applyMode({V4L2_PIX_FMT_YUYV, 320, 240, {1, 30}}).ok());
    EXPECT_EQ(camera.mode(), (V4l2Mode{V4L2_PIX_FMT_YUYV, 320, 240, {1, 30}}));
    EXPECT_TRUE(fake->streaming);
    EXPECT_EQ(fake->queuedCount(), V4l2Camera::kBufferCount);
    fake->deliver(90);
    std::optional<QImage> frame = camera.copyFrame();
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->size(), QSize(320, 240));

    camera.disconnect();
    EXPECT_EQ(fake->mapped, 0);
    EXPECT_FALSE(fake->streaming);
    connectOk();
    EXPECT_EQ(camera.mode().width, 320u) << "the user's choice is kept";
}

TEST_F(V4l2CameraTest, ARefusedModeLeavesTheStreamRunning)
{
    connectOk();
    fake->failing[VIDIOC_S_FMT] = EBUSY;
    Result r = camera.applyMode({V4L2_PIX_FMT_MJPEG, 1280, 720, {1, 30}});
    EXPECT_EQ(r.error(), QStringLiteral("The webcam Fake Webcam (/dev/video0) did not take MJPG 1280 x 720: Device or resource busy."));
    EXPECT_TRUE(camera.isConnected());
    EXPECT_TRUE(fake->streaming);
    fake->failing.clear();
    fake->deliver(33);
    EXPECT_EQ(brightness(camera.copyFrame()), 33);
}

TEST_F(V4l2CameraTest, TheCaptureLayerHandsFramesAndProblemsThrough)
{
    CaptureDevices layer;
    layer.setProblemNotifier(&told); // reaches the devices listed later too
    layer.addSource(std::make_unique<V4l2Camera>(fake, QStringLiteral("/dev/video0"), QStringLiteral("Fake Webcam"), clock));
    ASSERT_TRUE(layer.setCurrentDevice(0).ok());
    layer.setSequencing(true);
    fake->deliver(120);
    EXPECT_EQ(brightness(layer.copyFrame()), 120);
    fake->vanish();
    EXPECT_FALSE(layer.copyFrame());
    EXPECT_TRUE(told.notices.value(0).contains(QStringLiteral("stopped answering")));
}

} // namespace
} // namespace orvane
