// The INDI camera against a real indiserver with the CCD simulator: a read-out
// exposes for as long as the exposure byte was held and delivers the frame,
// scaled into the picture area and kept whole; a server lost mid-exposure is
// told once and the next read-out connects again. With the guide simulator as
// the guide camera, guide read-outs come from it and do not cut the image short.

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
const QString kGuider = QStringLiteral("Guide Simulator");
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
    // The exposure byte held for `ms` of the port's clock, then the guide read-out byte.
    void holdToGuideReadOut(uint32_t ms)
    {
        port.SetPortVal(kPort, settings.ExposureState, 1);
        portClock.advance(ms);
        port.SetPortVal(kPort, settings.GetGuideState, 1);
    }
    std::unique_ptr<IndiCamera> camera(IndiTestServer &server)
    {
        auto cam = std::make_unique<IndiCamera>(server.address(), kCcd, clock, pump, port, settings, options);
        cam->setProblemNotifier(&notices);
        return cam;
    }
    // Sets a property of a simulator and waits until the simulator has taken it. A device
    // that has just connected may not have defined the property yet (a request is built
    // from the property), or may still load its saved configuration over it: the request
    // goes again until the values stand.
    void setNumbers(IndiCamera &cam, const QString &device, const QString &name, const QMap<QString, double> &values)
    {
        ASSERT_TRUE(waitUntil(clock, pump, 10000, [&] { return cam.session()->property(device, name) != nullptr; }))
            << device.toStdString() << " " << name.toStdString() << " never defined";
        const auto taken = [&] {
            const IndiProperty *p = cam.session()->property(device, name);
            return p && p->numbers == values;
        };
        for (int tries = 0; tries < 5 && !taken(); ++tries) {
            cam.session()->sendNumbers(device, name, values);
            (void)waitUntil(clock, pump, 2000, taken);
        }
        ASSERT_TRUE(taken()) << device.toStdString() << " " << name.toStdString();
    }

    SteadyClock clock;
    QtEventPump pump{clock};
    SimClock portClock;
    CameraLines port{portClock};
    Settings settings;
    NoticeList notices;
    IndiCameraOptions options;
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

TEST_F(IndiCameraTest, GuideReadOutsComeFromTheGuideCameraWhenOneIsSet)
{
    const struct {
        const char *what;
        QString guideDevice;
        QSize guideFrame;      // the CCD's 1280 x 1024 scaled, or the guider's subframe
        double imageExposureS; // after three guide read-outs 300 ms apart and 200 ms more
    } cases[] = {
        {"no guide camera: the guide read-outs cut the image short", QString(), QSize(600, 480), 0.2},
        {"guide camera: the image gets the whole held time", kGuider, QSize(320, 240), 1.1},
    };
    IndiTestServer server({QStringLiteral("indi_simulator_ccd"), QStringLiteral("indi_simulator_guide")});
    ASSERT_TRUE(server.start());
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        options.guideDevice = c.guideDevice;
        std::unique_ptr<IndiCamera> cam = camera(server);
        const Result connected = cam->connect();
        ASSERT_TRUE(connected.ok()) << connected.error().toStdString();
        const QMap<QString, double> pollFast{{QStringLiteral("PERIOD_MS"), 50}}; // exposures end within 50 ms
        setNumbers(*cam, kCcd, QStringLiteral("POLLING_PERIOD"), pollFast);
        if (!c.guideDevice.isEmpty()) {
            setNumbers(*cam, kGuider, QStringLiteral("POLLING_PERIOD"), pollFast);
            setNumbers(*cam, kGuider, QStringLiteral("CCD_FRAME"),
                       {{QStringLiteral("X"), 0}, {QStringLiteral("Y"), 0}, {QStringLiteral("WIDTH"), 320}, {QStringLiteral("HEIGHT"), 240}});
        }
        cam->setSequencing(true);
        for (int step = 0; step < 3; ++step) {
            holdToGuideReadOut(300);
            const std::optional<QImage> frame = cam->copyFrame();
            ASSERT_TRUE(frame.has_value()) << notices.notices.join(u'\n').toStdString();
            EXPECT_EQ(frame->size(), c.guideFrame);
        }
        if (!c.guideDevice.isEmpty()) {
            EXPECT_DOUBLE_EQ(cam->lastGuideExposureS(), 0.3);
        }
        holdExposure(200);
        const std::optional<QImage> image = cam->copyFrame();
        ASSERT_TRUE(image.has_value()) << notices.notices.join(u'\n').toStdString();
        EXPECT_DOUBLE_EQ(cam->lastExposureS(), c.imageExposureS);
        EXPECT_EQ(image->size(), QSize(600, 480));
        EXPECT_EQ(cam->fullSizeFrame().size(), QSize(1280, 1024)); // what a save keeps
        EXPECT_TRUE(notices.notices.isEmpty());
    }
}

TEST_F(IndiCameraTest, GuideCameraTheServerDoesNotHaveIsRefusedAtConnectByName)
{
    IndiTestServer server({QStringLiteral("indi_simulator_ccd")});
    ASSERT_TRUE(server.start());
    options.guideDevice = QStringLiteral("Guide Scope 2");
    options.connectMs = 1500;
    std::unique_ptr<IndiCamera> cam = camera(server);
    const Result connected = cam->connect();
    EXPECT_EQ(connected.error(), QStringLiteral("The INDI server at %1 has no device \"Guide Scope 2\" "
                                                "(the guide camera orvane.ini names).")
                                     .arg(server.address().text()));
    EXPECT_TRUE(cam->usageNote().contains(QStringLiteral("\"Guide Scope 2\"")));
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
