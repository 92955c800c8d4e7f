// An INDI camera whose server answers badly: a frame that is not FITS, or no
// frame at all within the time limit, is told in one sentence naming the
// server, the device and what went wrong, and the read-out gives no picture.

#include "indi_test_server.h"
#include "indi_camera.h"
#include "notifier.h"

#include <QPointer>
#include <QTcpServer>

#include <gtest/gtest.h>

namespace orvane::test {
namespace {

const QByteArray kCameraDefinitions = QByteArrayLiteral(
    "<defSwitchVector device=\"Cam\" name=\"CONNECTION\" state=\"Ok\" perm=\"rw\" rule=\"OneOfMany\">"
    "<defSwitch name=\"CONNECT\">On</defSwitch><defSwitch name=\"DISCONNECT\">Off</defSwitch></defSwitchVector>"
    "<defNumberVector device=\"Cam\" name=\"CCD_EXPOSURE\" state=\"Idle\" perm=\"rw\">"
    "<defNumber name=\"CCD_EXPOSURE_VALUE\" format=\"%g\" min=\"0\" max=\"3600\" step=\"1\">0</defNumber></defNumberVector>"
    "<defBLOBVector device=\"Cam\" name=\"CCD1\" state=\"Idle\" perm=\"ro\"><defBLOB name=\"CCD1\"/></defBLOBVector>");

// A camera server that defines "Cam" and answers each exposure with `answer` (nothing when empty).
struct FakeCameraServer {
    explicit FakeCameraServer(QByteArray answer) : answer(std::move(answer))
    {
        server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&server, &QTcpServer::newConnection, [this] {
            peer = server.nextPendingConnection();
            QObject::connect(peer, &QTcpSocket::readyRead, [this] {
                const QByteArray asked = peer->readAll();
                if (asked.contains("<getProperties"))
                    peer->write(kCameraDefinitions);
                if (asked.contains("<newNumberVector"))
                    peer->write(this->answer);
            });
        });
    }
    QByteArray answer;
    QTcpServer server;
    QPointer<QTcpSocket> peer;
};

TEST(IndiCameraFaults, BadOrMissingFrameIsToldAndGivesNoPicture)
{
    const struct {
        const char *what;
        QByteArray answer;
        QString told; // %1: the server
    } cases[] = {
        {"not FITS",
         QByteArrayLiteral("<setBLOBVector device=\"Cam\" name=\"CCD1\" state=\"Ok\">"
                           "<oneBLOB name=\"CCD1\" size=\"3\" format=\".jpg\">QUJD</oneBLOB></setBLOBVector>"),
         QStringLiteral("The INDI camera \"Cam\" on %1 sent a frame that is not a FITS image (format \".jpg\").")},
        {"never comes", QByteArray(),
         QStringLiteral("The INDI camera \"Cam\" on %1 sent no frame within 1 s of a 0.1 s exposure.")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        FakeCameraServer fake(c.answer);
        SteadyClock clock;
        QtEventPump pump{clock};
        SimClock portClock;
        CameraLines port{portClock};
        Settings settings;
        settings.ExposureState = 3;
        settings.GetImageState = 0;
        port.InitializeWinIo();
        IndiCameraOptions options;
        options.frameTimeoutMs = 1000;
        const IndiServer address{QStringLiteral("127.0.0.1"), fake.server.serverPort()};
        IndiCamera camera(address, QStringLiteral("Cam"), clock, pump, port, settings, options);
        NoticeList notices;
        camera.setProblemNotifier(&notices);
        ASSERT_TRUE(camera.connect().ok());
        camera.setSequencing(true);
        port.SetPortVal(0x378, settings.ExposureState, 1);
        portClock.advance(100);
        port.SetPortVal(0x378, settings.GetImageState, 1);
        EXPECT_FALSE(camera.copyFrame().has_value());
        EXPECT_EQ(notices.notices, QStringList{c.told.arg(address.text())});
    }
}

} // namespace
} // namespace orvane::test
