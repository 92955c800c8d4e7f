// A server is untrusted input: a fake one that breaks the rules gets one
// sentence naming it and the fault, a closed connection, and no more of its
// bytes read than the frame limit allows.

#include "indi_test_server.h"

#include <gtest/gtest.h>
#include "indi_address.h"

#include <QPointer>
#include <QTcpServer>

namespace orvane::test {
namespace {

constexpr int64_t kLimitBytes = 64 * 1024; // the frame limit set for these tests

QByteArray hugeBlob()
{
    // 32 MB of base64 in one BLOB whose header tells no size: only the raw bytes can stop it.
    return QByteArrayLiteral("<setBLOBVector device=\"Cam\" name=\"CCD1\"><oneBLOB name=\"CCD1\" format=\".fits\">") +
           QByteArray(32 << 20, 'A');
}

TEST(IndiUntrustedServer, RuleBreakingServerIsToldAndCutOff)
{
    struct Case {
        const char *what;
        QByteArray sends;
        QString fault;
    };
    const Case cases[] = {
        {"malformed XML",
         QByteArrayLiteral("<defNumberVector device=\"Cam\" name=\"X\"><oneNumber name=\"A\">1</oneNumber></defSwitchVector>"),
         QStringLiteral("sent malformed XML (Opening and ending tag mismatch at line 1)")},
        {"wrong type",
         QByteArrayLiteral("<defSwitchVector device=\"Cam\" name=\"CCD_EXPOSURE\" rule=\"OneOfMany\">"
                           "<defSwitch name=\"CCD_EXPOSURE_VALUE\">On</defSwitch></defSwitchVector>"),
         QStringLiteral("sent Cam's property CCD_EXPOSURE as a switch property, where a number property belongs")},
        {"announced size",
         QByteArrayLiteral("<setBLOBVector device=\"Cam\" name=\"CCD1\"><oneBLOB name=\"CCD1\" size=\"1073741824\" "
                           "format=\".fits\" len=\"8\">AAAAAAAA</oneBLOB></setBLOBVector>"),
         QStringLiteral("announced a BLOB of 1024.0 MB, over the limit of 0.1 MB")},
        {"huge BLOB", hugeBlob(), QStringLiteral("sent a BLOB larger than the limit of 0.1 MB")},
    };
    SteadyClock clock;
    QtEventPump pump{clock};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        QTcpServer fake;
        ASSERT_TRUE(fake.listen(QHostAddress::LocalHost, 0));
        QPointer<QTcpSocket> peer;
        QObject::connect(&fake, &QTcpServer::newConnection, [&] {
            peer = fake.nextPendingConnection();
            peer->write(c.sends);
        });
        IndiSession session(IndiServer{QStringLiteral("127.0.0.1"), fake.serverPort()}, kLimitBytes);
        QStringList told;
        QObject::connect(&session, &IndiSession::lost, [&](const QString &sentence) { told << sentence; });
        ASSERT_TRUE(session.start().ok());
        ASSERT_TRUE(waitUntil(clock, pump, 10000, [&] { return !session.alive(); }));
        EXPECT_EQ(told, QStringList{QStringLiteral("The INDI server at 127.0.0.1:%1 %2; Orvane closed the connection.")
                                        .arg(fake.serverPort())
                                        .arg(c.fault)});
        EXPECT_TRUE(waitUntil(clock, pump, 5000, [&] { return !peer || peer->state() == QAbstractSocket::UnconnectedState; }));
        EXPECT_LT(session.bytesFromServer(), 4 << 20); // of 32 MB offered: reading stopped near the limit
    }
}

TEST(IndiAddresses, UrlsAndServersAreReadOrRefusedWithTheCause)
{
    const ResultOf<IndiAddress> scope = parseIndiUrl(QStringLiteral(" indi://10.0.0.7:7625/Telescope Simulator "));
    ASSERT_TRUE(scope.ok());
    EXPECT_EQ(scope.value().server.text(), QStringLiteral("10.0.0.7:7625"));
    EXPECT_EQ(scope.value().device, QStringLiteral("Telescope Simulator"));
    EXPECT_EQ(parseIndiUrl(QStringLiteral("indi://scope.local/EQMod Mount")).value().server.port, kIndiDefaultPort);

    const struct { const char *entry; const char *error; } refused[] = {
        {"indi://127.0.0.1:7624/", "\"indi://127.0.0.1:7624/\" names no INDI device: write indi://host:port/Device Name."},
        {"indi://127.0.0.1:99999/Scope", "The INDI address \"127.0.0.1:99999\" has no TCP port number (1 to 65535) after the colon."},
        {"/dev/ttyUSB0", "\"/dev/ttyUSB0\" is not an INDI address: it must begin with indi://."},
    };
    for (const auto &r : refused)
        EXPECT_EQ(parseIndiUrl(QString::fromLatin1(r.entry)).error().toStdString(), r.error);
    EXPECT_EQ(parseIndiServer(QStringLiteral(":7624"), QStringLiteral("[indi] cameraServer")).error(),
              QStringLiteral("[indi] cameraServer \":7624\" names no INDI server: write host:port, e.g. 127.0.0.1:7624."));
}

} // namespace
} // namespace orvane::test
