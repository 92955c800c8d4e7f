// The webcam's format, source and compression dialogs over a fake device:
// what they list, and what reaches the device when the user changes something.
#include "capture_dialogs.h"
#include "devices/v4l2_fake.h"
#include "nested_loop_watch.h"
#include "v4l2_compression_dialog.h"
#include "v4l2_format_dialog.h"
#include "v4l2_source_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QRadioButton>
#include <QSlider>

#include <gtest/gtest.h>

namespace orvane {
namespace {

using test::FakeV4l2;

class V4l2DialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Result r = camera.connect();
        ASSERT_TRUE(r.ok()) << r.error().toStdString();
    }
    static QStringList items(const QComboBox *box)
    {
        QStringList texts;
        for (int i = 0; i < box->count(); ++i)
            texts << box->itemText(i);
        return texts;
    }
    std::vector<v4l2_control> writesOf(uint32_t id) const
    {
        std::vector<v4l2_control> writes;
        for (const v4l2_control &c : fake->controlWrites)
            if (c.id == id)
                writes.push_back(c);
        return writes;
    }

    SimClock clock;
    std::shared_ptr<FakeV4l2> fake = std::make_shared<FakeV4l2>(clock);
    V4l2Camera camera{fake, QStringLiteral("/dev/video0"), QStringLiteral("Fake Webcam"), clock};
};

TEST_F(V4l2DialogTest, MenuDialogsOpenWithoutALoopOfTheirOwn)
{
    QWidget window;
    for (bool connected : {true, false}) {
        if (!connected)
            camera.disconnect(); // each menu item then says so in a box
        for (CaptureDialog which : {CaptureDialog::Format, CaptureDialog::Source, CaptureDialog::Compression}) {
            test::NestedLoopWatch watch;
            showCaptureDialog(&camera, which, &window);
            EXPECT_EQ(watch.nestedLoops(), 0);
            const QList<QDialog *> open = test::openDialogs<QDialog>(&window);
            ASSERT_EQ(open.size(), 1);
            EXPECT_EQ(qobject_cast<QMessageBox *>(open[0]) != nullptr, !connected);
            open[0]->reject();
        }
    }
}

TEST_F(V4l2DialogTest, FormatDialogListsTheDevicesOwnChoicesAndShowsTheModeInUse)
{
    V4l2FormatDialog dialog(camera);
    EXPECT_EQ(items(dialog.formatList()), QStringList({"YUYV 4:2:2 (YUYV)", "Motion-JPEG (MJPG), compressed"}));
    EXPECT_EQ(items(dialog.sizeList()), QStringList({"640 x 480", "320 x 240"}));
    EXPECT_EQ(items(dialog.rateList()), QStringList({"30 frames/s", "15 frames/s", "5 frames/s"}));
    EXPECT_EQ(dialog.selectedMode(), camera.mode());

    dialog.formatList()->setCurrentIndex(1);
    EXPECT_EQ(items(dialog.sizeList()), QStringList({"1280 x 720", "640 x 480"}));
    EXPECT_EQ(dialog.sizeList()->currentText(), QStringLiteral("640 x 480")) << "the size in use stays chosen";
    dialog.sizeList()->setCurrentIndex(0);
    EXPECT_EQ(items(dialog.rateList()), QStringList({"30 frames/s"}));
}

TEST_F(V4l2DialogTest, FormatDialogOkSetsFormatSizeAndRate)
{
    V4l2FormatDialog dialog(camera);
    dialog.sizeList()->setCurrentIndex(0);
    dialog.rateList()->setCurrentIndex(2); // 5 frames/s
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(camera.mode(), (V4l2Mode{V4L2_PIX_FMT_YUYV, 640, 480, {1, 5}}));
    EXPECT_EQ(fake->period.denominator, 5u);
    EXPECT_TRUE(fake->streaming);
}

TEST_F(V4l2DialogTest, FormatDialogStaysOpenWithTheSentenceWhenRefused)
{
    V4l2FormatDialog dialog(camera);
    dialog.formatList()->setCurrentIndex(1);
    fake->failing[VIDIOC_S_FMT] = EBUSY;
    dialog.accept();
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.problemText(), QStringLiteral("The webcam Fake Webcam (/dev/video0) did not take MJPG 640 x 480: Device or resource busy."));
    EXPECT_EQ(camera.mode().fourcc, uint32_t(V4L2_PIX_FMT_YUYV));
}

TEST_F(V4l2DialogTest, SourceDialogShowsEachControlAsItsKindOfWidget)
{
    V4l2SourceDialog dialog(camera);
    auto *brightness = qobject_cast<QSlider *>(dialog.widgetFor(V4L2_CID_BRIGHTNESS));
    ASSERT_TRUE(brightness);
    EXPECT_EQ(brightness->minimum(), 0);
    EXPECT_EQ(brightness->maximum(), 255);
    EXPECT_EQ(brightness->value(), 128);
    auto *autoGain = qobject_cast<QCheckBox *>(dialog.widgetFor(V4L2_CID_AUTOGAIN));
    ASSERT_TRUE(autoGain);
    EXPECT_TRUE(autoGain->isChecked());
    auto *autoExposure = qobject_cast<QComboBox *>(dialog.widgetFor(V4L2_CID_EXPOSURE_AUTO));
    ASSERT_TRUE(autoExposure);
    EXPECT_EQ(items(autoExposure), QStringList({"Manual Mode", "Aperture Priority Mode"}));
    EXPECT_EQ(autoExposure->currentText(), QStringLiteral("Aperture Priority Mode"));
    auto *exposure = qobject_cast<QSlider *>(dialog.widgetFor(V4L2_CID_EXPOSURE_ABSOLUTE));
    ASSERT_TRUE(exposure);
    EXPECT_FALSE(exposure->isEnabled()) << "manual exposure is inactive under automatic exposure";
    EXPECT_TRUE(fake->controlWrites.empty()) << "showing the dialog changes nothing";
}

TEST_F(V4l2DialogTest, SourceDialogChangesGoToTheDeviceAtOnce)
{
    V4l2SourceDialog dialog(camera);
    auto *brightness = qobject_cast<QSlider *>(dialog.widgetFor(V4L2_CID_BRIGHTNESS));
    brightness->setValue(200);
    ASSERT_EQ(writesOf(V4L2_CID_BRIGHTNESS).size(), 1u);
    EXPECT_EQ(writesOf(V4L2_CID_BRIGHTNESS)[0].value, 200);
    EXPECT_EQ(fake->controls[0].value, 200);

    qobject_cast<QCheckBox *>(dialog.widgetFor(V4L2_CID_AUTOGAIN))->setChecked(false);
    EXPECT_EQ(fake->controls[3].value, 0);

    // Manual mode frees the exposure time: the device says so and the dialog follows.
    auto *autoExposure = qobject_cast<QComboBox *>(dialog.widgetFor(V4L2_CID_EXPOSURE_AUTO));
    emit autoExposure->activated(0);
    EXPECT_EQ(fake->controls[1].value, int(V4L2_EXPOSURE_MANUAL));
    EXPECT_TRUE(dialog.widgetFor(V4L2_CID_EXPOSURE_ABSOLUTE)->isEnabled());
    EXPECT_TRUE(dialog.problemText().isEmpty());
}

TEST_F(V4l2DialogTest, SourceDialogShowsTheValueTheDeviceKept)
{
    fake->controls[0].query.step = 10;
    V4l2SourceDialog dialog(camera);
    auto *brightness = qobject_cast<QSlider *>(dialog.widgetFor(V4L2_CID_BRIGHTNESS));
    brightness->setValue(203);
    EXPECT_EQ(brightness->value(), 200) << "rounded to the device's step";

    fake->failing[VIDIOC_S_CTRL] = EBUSY;
    brightness->setValue(50);
    EXPECT_EQ(brightness->value(), 200) << "a refused value does not stay on the slider";
    EXPECT_EQ(dialog.problemText(), QStringLiteral("The webcam Fake Webcam (/dev/video0) did not take Brightness = 50: Device or resource busy."));
}

TEST_F(V4l2DialogTest, SourceDialogRestoresDefaultsAndGreysOutWhenTheWebcamVanishes)
{
    fake->controls[0].value = 10;
    fake->controls[3].value = 0;
    V4l2SourceDialog dialog(camera);
    dialog.restoreDefaults();
    EXPECT_EQ(fake->controls[0].value, 128);
    EXPECT_EQ(fake->controls[3].value, 1);
    EXPECT_TRUE(writesOf(V4L2_CID_EXPOSURE_ABSOLUTE).empty()) << "an inactive control is left alone";

    fake->vanish();
    dialog.change(0, 99);
    EXPECT_EQ(dialog.problemText(), QStringLiteral("The webcam Fake Webcam (/dev/video0) stopped answering: No such device."));
    EXPECT_FALSE(dialog.widgetFor(V4L2_CID_BRIGHTNESS)->isEnabled());
}

TEST_F(V4l2DialogTest, CompressionDialogSeparatesTheFormatsAndGivesTheHint)
{
    V4l2CompressionDialog dialog(camera);
    auto *yuyv = dialog.findChild<QRadioButton *>(QStringLiteral("format_YUYV"));
    auto *mjpeg = dialog.findChild<QRadioButton *>(QStringLiteral("format_MJPG"));
    ASSERT_TRUE(yuyv && mjpeg);
    EXPECT_EQ(qobject_cast<QGroupBox *>(yuyv->parentWidget())->title(), QStringLiteral("Uncompressed"));
    EXPECT_EQ(qobject_cast<QGroupBox *>(mjpeg->parentWidget())->title(), QStringLiteral("Compressed"));
    EXPECT_TRUE(yuyv->isChecked());
    auto *hint = dialog.findChild<QLabel *>(QStringLiteral("hint"));
    ASSERT_TRUE(hint);
    EXPECT_TRUE(hint->text().startsWith(QStringLiteral("Long exposures want an uncompressed format")));

    ASSERT_TRUE(dialog.selectFourcc(V4L2_PIX_FMT_MJPEG));
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(camera.mode(), (V4l2Mode{V4L2_PIX_FMT_MJPEG, 640, 480, {1, 30}})) << "size and rate kept";
}

TEST(V4l2CompressionChoice, KeepsSizeAndRateWhenOfferedElseTheNearest)
{
    const std::vector<V4l2PixelFormat> formats = {
        {V4L2_PIX_FMT_YUYV, "YUYV", false, {{640, 480, {{1, 30}, {1, 5}}}, {320, 240, {{1, 30}}}}},
        {V4L2_PIX_FMT_MJPEG, "MJPEG", true, {{1280, 720, {{1, 30}}}, {352, 288, {{1, 30}}}}},
    };
    const V4l2Mode now{V4L2_PIX_FMT_YUYV, 320, 240, {1, 30}};
    EXPECT_EQ(modeForFormat(formats, now, V4L2_PIX_FMT_MJPEG), (V4l2Mode{V4L2_PIX_FMT_MJPEG, 352, 288, {1, 30}}));
    const V4l2Mode slow{V4L2_PIX_FMT_YUYV, 640, 480, {1, 5}};
    EXPECT_EQ(modeForFormat(formats, slow, V4L2_PIX_FMT_MJPEG), (V4l2Mode{V4L2_PIX_FMT_MJPEG, 352, 288, {}}))
        << "no 5 frames/s there: the device's own rate";
    const V4l2Mode mjpeg{V4L2_PIX_FMT_MJPEG, 1280, 720, {1, 30}};
    EXPECT_EQ(modeForFormat(formats, mjpeg, V4L2_PIX_FMT_YUYV), (V4l2Mode{V4L2_PIX_FMT_YUYV, 640, 480, {1, 30}}));
}

} // namespace
} // namespace orvane
