// A real webcam, when this machine has one: it is found by its card name,
// streams, and gives a frame of the size it was set to. Skipped without one.
#include "v4l2_camera.h"
#include "v4l2_devices.h"

#include <gtest/gtest.h>

namespace orvane {
namespace {

TEST(V4l2RealDevice, AWebcamHereStreamsFrames)
{
    if (realV4l2Io()->videoNodes().isEmpty())
        GTEST_SKIP() << "no /dev/video* on this machine";
    SteadyClock clock;
    QStringList notes;
    auto cameras = findV4l2Cameras(realV4l2Io(), clock, &notes);
    if (cameras.empty())
        GTEST_SKIP() << "no video capture node here: " << notes.join(' ').toStdString();
    auto *camera = static_cast<V4l2Camera *>(cameras.front().get());
    NoticeList told;
    camera->setProblemNotifier(&told);
    EXPECT_FALSE(camera->name().isEmpty());
    if (Result r = camera->connect(); !r)
        GTEST_SKIP() << r.error().toStdString(); // in use by another program, no permission
    EXPECT_FALSE(camera->formats().empty());
    camera->setSequencing(true);
    std::optional<QImage> frame;
    for (int attempt = 0; attempt < 10 && !frame; ++attempt) // the first frames can take a while
        frame = camera->copyFrame();
    ASSERT_TRUE(frame) << told.notices.join(' ').toStdString();
    EXPECT_EQ(uint32_t(frame->width()), camera->mode().width);
    EXPECT_EQ(uint32_t(frame->height()), camera->mode().height);
    camera->disconnect();
    EXPECT_FALSE(camera->isConnected());
}

} // namespace
} // namespace orvane
