// The camera read-outs: every port byte, its address and time, the waits
// between them, the frame hand-over and the 2x1 line doubling.

#include "rig_fixture.h"

#include "devices/v4l2_fake.h"
#include "v4l2_camera.h"

#include <deque>

namespace orvane::test {
namespace {

// A capture device that hands out the frames it is given, one per copy.
class ScriptedCamera : public CaptureSource {
public:
    std::deque<std::optional<QImage>> frames;
    QString problem; // told once, at the next copy
    int copies = 0;

    QString name() const override { return QStringLiteral("scripted"); }
    Result connect() override { return Result::success(); }
    void disconnect() override {}
    void setSequencing(bool) override {}
    std::optional<QImage> copyFrame() override
    {
        ++copies;
        if (!problem.isEmpty())
            tellProblem(std::exchange(problem, {}));
        if (frames.empty())
            return std::nullopt;
        auto frame = frames.front();
        frames.pop_front();
        return frame;
    }
};

// A 640 x 480 frame whose every pixel tells its row and column apart.
QImage patternFrame(int width = 640, int height = 480)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb(y & 0xFF, x & 0xFF, (x + 3 * y) & 0xFF));
    return image;
}

struct Write {
    uint16_t address;
    uint8_t value;
    uint32_t atMs;
    int passes; // event passes made before the write
    bool operator==(const Write &) const = default;
};

class ReadoutTest : public RigTest {
protected:
    void SetUp() override
    {
        scripted = useCamera(std::make_unique<ScriptedCamera>());
        port.addListener([this](const PortWrite &w) { seen.push_back({w.address, w.value, w.atMs, pump.passes()}); });
    }

    std::vector<uint8_t> bytes() const
    {
        std::vector<uint8_t> out;
        for (const Write &w : seen)
            out.push_back(w.value);
        return out;
    }

    ScriptedCamera *scripted = nullptr;
    std::vector<Write> seen;
};

TEST_F(ReadoutTest, GuideReadoutHoldsTheGuideByteForImageDelayThenExposes)
{
    rig.GrabGuideFrame();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].value, 2);
    EXPECT_EQ(seen[0].atMs, 1000u);
    EXPECT_EQ(seen[1].value, 3);
    EXPECT_EQ(seen[1].atMs, 1250u);
    EXPECT_EQ(scripted->copies, 1);
}

TEST_F(ReadoutTest, ImageReadoutPassesAmplifierOnImageStateThenExposes)
{
    rig.GrabImageFrame();
    const std::vector<uint8_t> expected{1, 0, 3};
    EXPECT_EQ(bytes(), expected);
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].atMs, 1000u);
    EXPECT_EQ(seen[1].atMs, 1100u); // after AmpDelay
    EXPECT_EQ(seen[2].atMs, 1350u); // after ImageDelay more
    EXPECT_EQ(scripted->copies, 1);
}

TEST_F(ReadoutTest, AmpDelayZeroGoesStraightToTheImageStateWithoutAnEventPass)
{
    settings.AmpDelay = 0;
    rig.GrabImageFrame();
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[1].value, 0);
    EXPECT_EQ(seen[1].atMs, seen[0].atMs);
    EXPECT_EQ(seen[1].passes, seen[0].passes);
    EXPECT_GT(seen[2].passes, seen[1].passes); // the ImageDelay wait does run events
}

TEST_F(ReadoutTest, EveryReadoutEndsOnTheExposureByteWhateverTheSettings)
{
    struct Case {
        uint8_t exposure, image, guide, amp;
        int32_t imageDelay, ampDelay;
    };
    const Case cases[] = {
        {3, 0, 2, 1, 250, 100}, {0, 0, 0, 0, 0, 0}, {255, 3, 3, 255, -5, 7}, {9, 8, 7, 6, 1, -100000},
    };
    for (const Case &c : cases) {
        settings.ExposureState = c.exposure;
        settings.GetImageState = c.image;
        settings.GetGuideState = c.guide;
        settings.AmpOnState = c.amp;
        settings.ImageDelay = c.imageDelay;
        settings.AmpDelay = c.ampDelay;
        seen.clear();
        rig.GrabGuideFrame();
        ASSERT_FALSE(seen.empty());
        EXPECT_EQ(seen.back().value, c.exposure);
        seen.clear();
        rig.GrabImageFrame();
        ASSERT_EQ(seen.size(), 3u);
        EXPECT_EQ(seen.back().value, c.exposure);
        EXPECT_EQ(port.value(), c.exposure);
    }
}

TEST_F(ReadoutTest, WritesGoToTheAddressOfTheChosenPrinterPort)
{
    const std::pair<int16_t, uint16_t> cases[] = {{1, 888}, {2, 632}, {0, 632}, {3, 632}};
    for (auto [printerPort, address] : cases) {
        settings.PrinterPort = printerPort;
        settings.PortAddress = portAddressFor(printerPort);
        seen.clear();
        rig.GrabGuideFrame();
        rig.GrabImageFrame();
        ASSERT_EQ(seen.size(), 5u);
        for (const Write &w : seen)
            EXPECT_EQ(w.address, address) << "printer port " << printerPort;
    }
}

TEST_F(ReadoutTest, WaitsWithGuidingUntickedNeverRunTheMoveTimer)
{
    panel.guiding = false;
    guiding.MoveDirX = 1;
    guiding.DriftX = 3.0f; // at 5 px/s this move is due to end within 200 ms
    guiding.MoveClock = clock.now();
    rig.GrabImageFrame();
    rig.GrabGuideFrame();
    EXPECT_EQ(clock.now(), 1000u + 350 + 250); // the waits still ran their full delays
    EXPECT_EQ(guiding.MoveDirX, 1);
    EXPECT_EQ(guiding.DriftX, 3.0f);
    EXPECT_EQ(guiding.MoveClock, 1000u);
    EXPECT_TRUE(opener.writes.isEmpty());
}

TEST_F(ReadoutTest, WaitsWithGuidingTickedEndTheRunningCorrection)
{
    panel.guiding = true;
    guiding.MoveDirX = 1;
    guiding.DriftX = 3.0f;
    guiding.MoveClock = clock.now();
    rig.GrabImageFrame();
    EXPECT_EQ(guiding.MoveDirX, 0);
    EXPECT_EQ(opener.sent(), QByteArray(kStopAll));
    EXPECT_EQ(seen.back().value, 3);
}

TEST_F(ReadoutTest, TheFrameBecomesThePicture)
{
    const QImage frame = patternFrame();
    scripted->frames.push_back(frame);
    rig.GrabGuideFrame();
    EXPECT_EQ(picture.picture(), frame);
    EXPECT_EQ(picture.pixel(5, 7), colourNumber(frame.pixel(5, 7)));
    EXPECT_TRUE(panel.notices.isEmpty());
}

TEST_F(ReadoutTest, NoFrameKeepsThePictureAndAProblemIsToldOnce)
{
    const QImage before = patternFrame();
    picture.setPicture(before);
    scripted->problem = QStringLiteral("The camera was unplugged.");
    rig.GrabImageFrame(); // no frame, a problem
    rig.GrabGuideFrame(); // no frame, no new problem
    EXPECT_EQ(picture.picture(), before);
    ASSERT_EQ(panel.notices.size(), 1);
    EXPECT_EQ(panel.notices.front(), QStringLiteral("The camera was unplugged."));
}

TEST_F(ReadoutTest, NoDeviceAtAllKeepsThePicture)
{
    TestRig bare; // no capture device
    const QImage before = patternFrame();
    bare.picture.setPicture(before);
    bare.rig.GrabImageFrame();
    EXPECT_EQ(bare.picture.picture(), before);
    EXPECT_EQ(bare.port.value(), 3);
}

TEST_F(ReadoutTest, AFrameDoesNotOverwriteAPictureABatchIsWorkingOn)
{
    const QImage batchPicture = patternFrame(100, 100);
    picture.setPicture(batchPicture);
    picture.reserve(QStringLiteral("the deinterlace tool"));
    scripted->frames.push_back(patternFrame());
    rig.GrabGuideFrame();
    EXPECT_EQ(picture.picture(), batchPicture);
    ASSERT_EQ(panel.notices.size(), 1);
    EXPECT_TRUE(panel.notices.front().contains(QStringLiteral("the deinterlace tool")));
    // Nor does the line doubling of an image read-out touch its rows.
    const QImage surfaceBefore = picture.surface();
    panel.lineDoubling = true;
    scripted->frames.push_back(patternFrame());
    rig.GrabImageFrame();
    EXPECT_EQ(picture.surface(), surfaceBefore);
    EXPECT_EQ(picture.picture(), batchPicture);
}

class LineDoublingTest : public ReadoutTest {
protected:
    void expectDoubled(const QImage &frame)
    {
        const QImage &surface = picture.surface();
        for (int y = 0; y < 480; y += 2)
            for (int x = 0; x < 640; ++x)
                ASSERT_EQ(surface.pixel(x, y), surface.pixel(x, y + 1)) << x << "," << y;
        // Odd rows keep the frame's own lines (background outside a smaller frame).
        for (int y = 1; y < 480; y += 2)
            for (int x = 0; x < 640; ++x) {
                const QRgb expected = x < frame.width() && y < frame.height() ? frame.pixel(x, y) : qRgb(0, 0, 0);
                ASSERT_EQ(surface.pixel(x, y), expected) << x << "," << y;
            }
    }
};

TEST_F(LineDoublingTest, EvenRowsTakeTheOddRowBelowAndTheDoubledFrameIsThePicture)
{
    panel.lineDoubling = true;
    panel.statusText = QStringLiteral("Image 3");
    QString shownDuringDoubling;
    pump.at(1350, [&] { shownDuringDoubling = panel.statusText; }); // the pass that shows the word
    const QImage frame = patternFrame();
    scripted->frames.push_back(frame);
    rig.GrabImageFrame();
    expectDoubled(frame);
    EXPECT_EQ(picture.picture(), picture.surface());
    EXPECT_EQ(shownDuringDoubling, QStringLiteral("deinterlace"));
    EXPECT_EQ(panel.statusText, QStringLiteral("Image 3"));
}

TEST_F(LineDoublingTest, ASmallerFrameIsHarmless)
{
    panel.lineDoubling = true;
    const QImage frame = patternFrame(320, 241);
    scripted->frames.push_back(frame);
    rig.GrabImageFrame();
    expectDoubled(frame);
}

TEST_F(LineDoublingTest, DoublingIsTheSameAsThePerPixelCopy)
{
    picture.setPicture(patternFrame());
    PictureArea reference;
    reference.setPicture(patternFrame());
    for (int y = 0; y <= 478; y += 2)
        for (int x = 0; x < 640; ++x)
            reference.setPixel(x, y, reference.pixel(x, y + 1));
    rig.doubleLines();
    EXPECT_EQ(picture.surface(), reference.surface());
}

TEST_F(LineDoublingTest, GuideFramesAndUntickedImageFramesAreNotDoubled)
{
    const QImage frame = patternFrame();
    panel.lineDoubling = true;
    scripted->frames.push_back(frame);
    rig.GrabGuideFrame();
    EXPECT_EQ(picture.surface(), frame);
    panel.lineDoubling = false;
    scripted->frames.push_back(frame);
    rig.GrabImageFrame();
    EXPECT_EQ(picture.surface(), frame);
    EXPECT_EQ(panel.statusText, QStringLiteral("Ready"));
}

TEST(ReadoutWebcamWait, ACorrectionEndsOnTimeWhileTheWebcamIsWaitedFor)
{
    TestRig parts({.linkOpen = true});
    auto fake = std::make_shared<FakeV4l2>(parts.clock);
    V4l2Camera *cam = parts.useCamera(
        std::make_unique<V4l2Camera>(fake, QStringLiteral("/dev/video0"), QStringLiteral("Fake"), parts.clock));
    ASSERT_EQ(parts.camera.currentDevice(), 0);
    ASSERT_TRUE(cam->applyMode({V4L2_PIX_FMT_YUYV, 640, 480, {1, 5}}).ok()); // 400 ms frame wait
    parts.camera.setSequencing(true);
    for (int i = 0; i < int(V4l2Camera::kBufferCount); ++i)
        fake->deliver(10); // all held since long ago: the copy waits for a fresh frame

    parts.panel.guiding = true;
    parts.guiding.MoveDirX = 1;
    parts.guiding.DriftX = 3.0f; // at 5 px/s the correction ends about 200 ms on
    parts.guiding.MoveClock = parts.clock.now();
    const std::optional<uint32_t> due = parts.rig.nextMoveCheckMs();
    ASSERT_TRUE(due);
    std::optional<uint32_t> stoppedAt;
    parts.opener.onWrite = [&](const QByteArray &) { stoppedAt = parts.clock.now(); };
    const uint32_t before = parts.clock.now();
    EXPECT_FALSE(parts.rig.TakeFrame()); // no fresh frame came
    EXPECT_EQ(parts.clock.now() - before, 400u);
    ASSERT_TRUE(stoppedAt);
    EXPECT_EQ(*stoppedAt, *due); // not at the end of the 400 ms wait
    EXPECT_EQ(parts.guiding.MoveDirX, 0);
}

} // namespace
} // namespace orvane::test
