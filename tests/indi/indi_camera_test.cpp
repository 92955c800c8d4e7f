// The INDI camera against a real indiserver with the CCD simulator: a read-out
// exposes for as long as the exposure byte was held and delivers the frame,
// scaled into the picture area and kept whole; a server lost mid-exposure is
// told once and the next read-out connects again.

#include "indi_test_server.h"
#include "indi_camera.h"
#include "notifier.h"
#include "picture_area.h"

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
    const IndiProperty *info = cam->session()->property(kCcd, QStringLiteral("CCD_INFO"));
    ASSERT_NE(info, nullptr);
    const QSize sensor(int(info->numbers.value(QStringLiteral("CCD_MAX_X"))), int(info->numbers.value(QStringLiteral("CCD_MAX_Y"))));

    holdExposure(1000);
    const uint32_t asked = clock.now();
    const std::optional<QImage> frame = cam->copyFrame();
    ASSERT_TRUE(frame.has_value()) << notices.notices.join(u'\n').toStdString();
    EXPECT_LT(elapsedMs(asked, clock.now()), 5000);
    EXPECT_DOUBLE_EQ(cam->lastExposureS(), 1.0);
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

} // namespace
} // namespace orvane::test
