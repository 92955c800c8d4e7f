// What a webcam offers, read from the device's own lists: capture nodes,
// formats with sizes and rates, controls with kinds, menus and flags.
#include "v4l2_controls.h"
#include "v4l2_devices.h"
#include "v4l2_fake.h"
#include "v4l2_formats.h"

#include <gtest/gtest.h>

namespace orvane {
namespace {

using test::FakeV4l2;

struct V4l2EnumerationTest : ::testing::Test {
    SimClock clock;
    std::shared_ptr<FakeV4l2> fake = std::make_shared<FakeV4l2>(clock);
    int fd = fake->open(QStringLiteral("/dev/video0"));
};

TEST_F(V4l2EnumerationTest, FormatsComeWithTheirSizesAndRates)
{
    int error = -1;
    const std::vector<V4l2PixelFormat> formats = enumerateV4l2Formats(*fake, fd, error);
    EXPECT_EQ(error, 0);
    ASSERT_EQ(formats.size(), 2u);
    EXPECT_EQ(formats[0].fourcc, uint32_t(V4L2_PIX_FMT_YUYV));
    EXPECT_EQ(formats[0].description, QStringLiteral("YUYV 4:2:2"));
    EXPECT_FALSE(formats[0].compressed);
    EXPECT_TRUE(formats[1].compressed);
    ASSERT_EQ(formats[0].sizes.size(), 2u);
    EXPECT_EQ(formats[0].sizes[0].width, 640u);
    EXPECT_EQ(formats[0].sizes[0].height, 480u);
    ASSERT_EQ(formats[0].sizes[0].rates.size(), 3u);
    EXPECT_EQ(formats[0].sizes[0].rates[2], (V4l2FrameRate{1, 5}));
    EXPECT_EQ(formats[1].sizes[0].width, 1280u);
}

TEST_F(V4l2EnumerationTest, ASizeRangeBecomesTheUsualSizesInsideIt)
{
    fake->formats = {{V4L2_PIX_FMT_GREY, "Greyscale", 0, {{160, 120, {}}, {1000, 760, {}}}, true}};
    int error = 0;
    const std::vector<V4l2PixelFormat> formats = enumerateV4l2Formats(*fake, fd, error);
    ASSERT_EQ(formats.size(), 1u);
    QStringList sizes;
    for (const V4l2FrameSize &s : formats[0].sizes)
        sizes << QStringLiteral("%1x%2").arg(s.width).arg(s.height);
    // The usual sizes up to the largest, then the largest itself.
    EXPECT_EQ(sizes.join(' '), QStringLiteral("160x120 176x144 320x240 352x288 640x480 800x600 1000x760"));
}

TEST_F(V4l2EnumerationTest, ARateRangeBecomesItsEndsAndTheUsualRatesBetween)
{
    auto ratesOf = [&](v4l2_fract shortest, v4l2_fract longest) {
        fake->formats = {{V4L2_PIX_FMT_YUYV, "YUYV", 0, {{640, 480, {shortest, longest}, true}}}};
        int error = 0;
        const std::vector<V4l2PixelFormat> formats = enumerateV4l2Formats(*fake, fd, error);
        QStringList rates;
        for (const V4l2FrameRate &r : formats.at(0).sizes.at(0).rates)
            rates << QString::number(r.framesPerSecond());
        return rates.join(' ');
    };
    EXPECT_EQ(ratesOf({1, 30}, {1, 1}), QStringLiteral("30 25 20 15 10 5 2 1"));
    EXPECT_EQ(ratesOf({1, 60}, {1, 5}), QStringLiteral("60 30 25 20 15 10 5"));
    EXPECT_EQ(ratesOf({2, 15}, {2, 15}), QStringLiteral("7.5")) << "a range of one rate";
    EXPECT_EQ(ratesOf({1, 24}, {10, 1}), QStringLiteral("24 20 15 10 5 2 1 0.1"));
}

TEST_F(V4l2EnumerationTest, AFailingListKeepsWhatWasFoundAndSaysWhy)
{
    fake->failing[VIDIOC_ENUM_FMT] = EIO;
    int error = 0;
    EXPECT_TRUE(enumerateV4l2Formats(*fake, fd, error).empty());
    EXPECT_EQ(error, -EIO);
}

TEST(V4l2FormatText, CodesRatesAndCompression)
{
    EXPECT_EQ(fourccText(V4L2_PIX_FMT_YUYV), QStringLiteral("YUYV"));
    EXPECT_EQ(fourccText(V4L2_PIX_FMT_MJPEG), QStringLiteral("MJPG"));
    EXPECT_EQ(fourccText(V4L2_PIX_FMT_GREY), QStringLiteral("GREY"));
    EXPECT_TRUE(isCompressedFormat(V4L2_PIX_FMT_MJPEG, 0)) << "some drivers leave the flag off";
    EXPECT_TRUE(isCompressedFormat(V4L2_PIX_FMT_YUYV, V4L2_FMT_FLAG_COMPRESSED));
    EXPECT_FALSE(isCompressedFormat(V4L2_PIX_FMT_SBGGR8, 0));
    EXPECT_EQ(frameRateText({1, 30}), QStringLiteral("30 frames/s"));
    EXPECT_EQ(frameRateText({2, 15}), QStringLiteral("7.5 frames/s"));
    EXPECT_EQ(frameRateText({5, 1}), QStringLiteral("0.2 frames/s"));
    EXPECT_EQ(frameRateText({0, 0}), QStringLiteral("unknown rate"));
}

TEST_F(V4l2EnumerationTest, ControlsComeWithKindsValuesMenusAndFlags)
{
    fake->controls[0].value = 90;
    fake->controls.push_back(FakeV4l2::control(V4L2_CID_CAMERA_CLASS, V4L2_CTRL_TYPE_CTRL_CLASS, "Camera Controls", 0, 0, 0, 0));
    fake->controls.push_back(FakeV4l2::control(V4L2_CID_GAIN, V4L2_CTRL_TYPE_INTEGER, "Gain", 0, 100, 1, 0));
    fake->controls.back().query.flags = V4L2_CTRL_FLAG_DISABLED;
    int error = -1;
    const std::vector<V4l2Control> controls = enumerateV4l2Controls(*fake, fd, error);
    EXPECT_EQ(error, 0);
    ASSERT_EQ(controls.size(), 4u) << "the class heading and the disabled control are left out";
    // The device's order is by id: brightness, auto gain, then the camera class.
    EXPECT_EQ(controls[0].name, QStringLiteral("Brightness"));
    EXPECT_EQ(controls[0].kind, V4l2Control::Kind::Integer);
    EXPECT_EQ(controls[0].value, 90);
    EXPECT_EQ(controls[0].defaultValue, 128);
    EXPECT_EQ(controls[1].kind, V4l2Control::Kind::Boolean);
    const V4l2Control &autoExposure = controls[2];
    EXPECT_EQ(autoExposure.kind, V4l2Control::Kind::Menu);
    EXPECT_TRUE(autoExposure.updatesOthers);
    ASSERT_EQ(autoExposure.menu.size(), 2u) << "the entries the device does not have are skipped";
    EXPECT_EQ(autoExposure.menu[0], std::make_pair(1, QStringLiteral("Manual Mode")));
    EXPECT_EQ(autoExposure.menu[1], std::make_pair(3, QStringLiteral("Aperture Priority Mode")));
    EXPECT_EQ(controls[3].name, QStringLiteral("Exposure (Absolute)"));
    EXPECT_TRUE(controls[3].inactive);
}

TEST_F(V4l2EnumerationTest, DriversWithoutTheNextControlWalkAreAskedIdById)
{
    int error = 0;
    const size_t walked = enumerateV4l2Controls(*fake, fd, error).size();
    fake->nextCtrlWalk = false;
    const std::vector<V4l2Control> asked = enumerateV4l2Controls(*fake, fd, error);
    EXPECT_EQ(error, 0);
    // Exposure ids lie in the camera class, beyond the user-class ids asked one by one.
    EXPECT_EQ(asked.size(), 2u);
    EXPECT_EQ(walked, 4u);
}

TEST_F(V4l2EnumerationTest, OnlyNodesThatCaptureVideoAreWebcams)
{
    auto node = [](const char *path, const char *card, uint32_t caps, uint32_t deviceCaps) {
        FakeV4l2::Node n{QString::fromLatin1(path)};
        n.card = QString::fromLatin1(card);
        n.capabilities = caps;
        n.deviceCaps = deviceCaps;
        return n;
    };
    const uint32_t all = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_META_CAPTURE | V4L2_CAP_STREAMING | V4L2_CAP_DEVICE_CAPS;
    fake->nodes = {
        node("/dev/video0", "Cam A", all, V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING),
        node("/dev/video1", "Cam A", all, V4L2_CAP_META_CAPTURE | V4L2_CAP_STREAMING), // its metadata node
        node("/dev/video2", "Out", V4L2_CAP_VIDEO_OUTPUT | V4L2_CAP_STREAMING, 0),
        node("/dev/video3", "Locked", all, V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING),
        node("/dev/video4", "Old Cam", V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING, 0), // no per-node caps
        node("/dev/video5", "Reads Only", V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_READWRITE, 0),
        node("/dev/video6", "Not V4L2", all, 0),
    };
    fake->nodes[3].openError = EACCES;
    fake->nodes[6].answersQuerycap = false;
    QStringList notes;
    const std::vector<V4l2DeviceInfo> found = listV4l2CaptureDevices(*fake, &notes);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].path, QStringLiteral("/dev/video0"));
    EXPECT_EQ(found[0].card, QStringLiteral("Cam A"));
    EXPECT_EQ(found[1].card, QStringLiteral("Old Cam"));
    EXPECT_EQ(notes, QStringList{QStringLiteral("The video device /dev/video3 could not be opened: Permission denied.")});
    EXPECT_EQ(fake->opens, fake->closes + 1) << "every node it opened is closed again (the fixture's stays open)";
}

TEST_F(V4l2EnumerationTest, TwoWebcamsOfOneKindAreToldApartByPath)
{
    fake->nodes.push_back(FakeV4l2::Node{QStringLiteral("/dev/video2")});
    fake->nodes.push_back(FakeV4l2::Node{QStringLiteral("/dev/video4")});
    fake->nodes.back().card = QStringLiteral("Other");
    const auto cameras = findV4l2Cameras(fake, clock);
    ASSERT_EQ(cameras.size(), 3u);
    EXPECT_EQ(cameras[0]->name(), QStringLiteral("Fake Webcam (/dev/video0)"));
    EXPECT_EQ(cameras[1]->name(), QStringLiteral("Fake Webcam (/dev/video2)"));
    EXPECT_EQ(cameras[2]->name(), QStringLiteral("Other"));
}

} // namespace
} // namespace orvane
