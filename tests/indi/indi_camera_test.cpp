// The INDI camera against a real indiserver with the CCD simulator: a read-out
// exposes for as long as the exposure byte was held and delivers the frame,
// scaled into the picture area and kept whole; a server lost mid-exposure is
// told once and the next read-out connects again.

#include "indi_test_server.h"

#include <gtest/gtest.h>
#include "indi_camera.h"
#include "notifier.h"
#include "fits_file.h"
#include "picture_area.h"
#include "rig_builder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <QTimer>

namespace orvane::test {
namespace {

const QString kCcd = QStringLiteral("CCD Simulator");
constexpr uint16_t kPort = 0x378; // the printer port address the bytes go to

class IndiCameraTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(IndiTestServer::installed()) << "indi-bin is missing: run tools/bootstrap";
        settings.ExposureState = 3;
        settings.GetImageState = 0;
        settings.GetGuideState = 2;
        settings.AmpOnState = 1;
        port.InitializeWinIo();
    }
    // The exposure byte held for `ms` of the port's clock, then the image read-out byte.
    void holdExposure(uint32_t ms)
    {
        port.SetPortVal(kPort, settings.ExposureState, 1);
        portClock.advance(ms);
        port.SetPortVal(kPort, settings.GetImageState, 1);
    }
    std::unique_ptr<IndiCamera> camera(IndiTestServer &server)
    {
        auto cam = std::make_unique<IndiCamera>(server.address(), kCcd, clock, pump, port, settings);
        cam->setProblemNotifier(&notices);
        return cam;
    }

    SteadyClock clock;
    QtEventPump pump{clock};
    SimClock portClock;
    WinIo port{portClock};
    Settings settings;
    NoticeList notices;
};

TEST_F(IndiCameraTest, ReadOutExposesForTheHeldTimeAndShowsTheWholeFrameScaled)
{
    IndiTestServer server({QStringLiteral("indi_simulator_ccd")});
    ASSERT_TRUE(server.start());
    std::unique_ptr<IndiCamera> cam = camera(server);
    ASSERT_TRUE(cam->connect().ok());
    cam->setSequencing(true);
    holdExposure(1000);
    const uint32_t asked = clock.now();
    const std::optional<QImage> frame = cam->copyFrame();
    ASSERT_TRUE(frame.has_value()) << notices.notices.join(u'\n').toStdString();
    EXPECT_LT(elapsedMs(asked, clock.now()), 5000);
    EXPECT_DOUBLE_EQ(cam->lastExposureS(), 1.0);
    const IndiProperty *info = cam->session()->property(kCcd, QStringLiteral("CCD_INFO")); // set once connected
    ASSERT_NE(info, nullptr);
    const QSize sensor(int(info->numbers.value(QStringLiteral("CCD_MAX_X"))), int(info->numbers.value(QStringLiteral("CCD_MAX_Y"))));
    EXPECT_EQ(cam->fullFrame().size(), sensor);
    EXPECT_EQ(frame->size(), sensor.scaled(PictureArea::kWidth, PictureArea::kHeight, Qt::KeepAspectRatio));
    EXPECT_TRUE(notices.notices.isEmpty());
}

TEST_F(IndiCameraTest, ServerLostMidExposureIsToldAndTheNextReadOutConnectsAgain)
{
    auto server = std::make_unique<IndiTestServer>(QStringList{QStringLiteral("indi_simulator_ccd")});
    ASSERT_TRUE(server->start());
    const quint16 serverPort = server->port();
    std::unique_ptr<IndiCamera> cam = camera(*server);
    ASSERT_TRUE(cam->connect().ok());
    cam->setSequencing(true);

    holdExposure(3000);
    QTimer::singleShot(300, [&] { server->stop(); }); // during the exposure
    EXPECT_FALSE(cam->copyFrame().has_value());
    EXPECT_EQ(notices.notices, QStringList{QStringLiteral("The INDI server at 127.0.0.1:%1 closed the connection.").arg(serverPort)});

    server = std::make_unique<IndiTestServer>(QStringList{QStringLiteral("indi_simulator_ccd")}, serverPort);
    ASSERT_TRUE(server->start());
    holdExposure(100);
    EXPECT_TRUE(cam->copyFrame().has_value());
    EXPECT_EQ(notices.notices.size(), 1);
}

TEST(IndiCameraRig, ThreeFramesAreShownScaledAndSavedFullSizeInFits)
{
    ASSERT_TRUE(IndiTestServer::installed());
    IndiTestServer server({QStringLiteral("indi_simulator_ccd")});
    ASSERT_TRUE(server.start());
    SteadyClock clock;
    QtEventPump pump{clock};
    TestRig rig({.linkOpen = true, .clock = &clock, .pump = &pump});
    QTemporaryDir dir;
    rig.state.SaveDir = dir.path();
    rig.state.SaveFormat.format = SaveFormat::Both;
    rig.useCamera(std::make_unique<IndiCamera>(server.address(), kCcd, clock, pump, rig.port, rig.settings));
    ASSERT_NE(rig.camera.currentDevice(), -1) << rig.panel.notices.join(u'\n').toStdString();
    rig.camera.setSequencing(true);

    for (int16_t frame = 2; frame <= 4; ++frame) { // the first frame is saved with frame number 2
        rig.rig.startExposure();
        rig.rig.ServicedWait(clock.now(), 200); // ms of exposure
        ASSERT_TRUE(rig.rig.GrabImageFrame()) << rig.panel.notices.join(u'\n').toStdString();
        rig.state.FrameNumber = frame;
        ASSERT_TRUE(rig.rig.SaveImageFrame().ok());
    }
    EXPECT_EQ(rig.picture.picture().size(), QSize(600, 480)); // 1280 x 1024 scaled into 640 x 480
    QStringList files = QDir(dir.path()).entryList({QStringLiteral("Image*")}, QDir::Files, QDir::Name);
    EXPECT_EQ(files, (QStringList{"Image001.bmp", "Image001.fits", "Image002.bmp", "Image002.fits", "Image003.bmp", "Image003.fits"}));
    QFile fits(dir.filePath(QStringLiteral("Image003.fits")));
    ASSERT_TRUE(fits.open(QIODevice::ReadOnly));
    const ResultOf<FitsImage> saved = decodeFits(fits.readAll());
    ASSERT_TRUE(saved.ok()) << saved.error().toStdString();
    EXPECT_EQ(QSize(saved.value().width, saved.value().height), QSize(1280, 1024));
    EXPECT_EQ(QImage(dir.filePath(QStringLiteral("Image003.bmp"))).size(), QSize(600, 480));
}

} // namespace
} // namespace orvane::test
