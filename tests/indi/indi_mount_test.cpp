// The INDI mount against a real indiserver with the telescope simulator:
// timed pulses move the right way by the right amount, the LX200 move and
// stop-all map onto motion on and off, a lost server is told and recovered
// from, and a wrong device name is refused with its name.

#include "indi_test_server.h"

#include <gtest/gtest.h>
#include "indi_mount.h"
#include "rig_serial_opener.h"

#include <QDateTime>

#include <cmath>

namespace orvane::test {
namespace {

const QString kScope = QStringLiteral("Telescope Simulator");
constexpr double kSiderealArcsecPerS = 15.041; // the sky's turn, arc-seconds of RA per second
constexpr double kGuideRate = 0.5;             // the simulator's GUIDE_RATE, times sidereal
const QByteArray kStopAll = ":Qn#:Qs#:Qe#:Qw#"; // the guide sequence's stop-all

// The simulator stands at longitude 0 on the computer's clock: its sidereal time, hours.
double siderealHoursAtGreenwich()
{
    const QDateTime j2000(QDate(2000, 1, 1), QTime(12, 0), Qt::UTC);
    const double days = double(j2000.msecsTo(QDateTime::currentDateTimeUtc())) / 86400000.0;
    return std::fmod(18.697374558 + 24.06570982441908 * days, 24.0);
}

class IndiMountTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(IndiTestServer::installed()) << "indi-bin is missing: run tools/bootstrap"; }

    // Opens the simulator's mount, unparked, tracking, synced to Dec 20 degrees
    // two hours west of the meridian: the simulated mount turns its declination
    // axis over with the hour angle, so a fixed RA would test a different side
    // of the pier at each time of day.
    std::shared_ptr<IndiMount> openScope(IndiTestServer &server)
    {
        const SerialOpening opened = mounts.open(server.url(kScope));
        EXPECT_TRUE(opened.ok()) << opened.error().toStdString();
        if (opened.ok())
            link = std::move(const_cast<SerialOpening &>(opened).value());
        std::shared_ptr<IndiMount> mount = mounts.mount(server.url(kScope));
        IndiSession &s = *mount->session();
        s.sendSwitch(kScope, QStringLiteral("TELESCOPE_PARK"), QStringLiteral("UNPARK"));
        s.sendSwitch(kScope, QStringLiteral("TELESCOPE_TRACK_STATE"), QStringLiteral("TRACK_ON"));
        s.sendSwitch(kScope, QStringLiteral("ON_COORD_SET"), QStringLiteral("SYNC"));
        s.sendNumbers(kScope, QStringLiteral("EQUATORIAL_EOD_COORD"), {{QStringLiteral("RA"), std::fmod(siderealHoursAtGreenwich() + 22.0, 24.0)}, {QStringLiteral("DEC"), 20.0}});
        EXPECT_TRUE(waitUntil(clock, pump, 5000, [&] { return std::abs(coord(s, "DEC") - 20.0) < 1e-6; }));
        return mount;
    }
    static double coord(const IndiSession &s, const char *element)
    {
        const IndiProperty *p = s.property(kScope, QStringLiteral("EQUATORIAL_EOD_COORD"));
        return p ? p->numbers.value(QString::fromLatin1(element)) : NAN;
    }
    // Waits until the coordinates have stayed put for 600 ms (over two of the
    // simulator's 250 ms reports; it reports only changes), at most 5 s.
    void settle(const IndiSession &s)
    {
        uint32_t lastReport = clock.now();
        QMetaObject::Connection c = QObject::connect(&s, &IndiSession::propertyChanged, [&](const QString &, const QString &name) {
            if (name == QStringLiteral("EQUATORIAL_EOD_COORD"))
                lastReport = clock.now();
        });
        EXPECT_TRUE(waitUntil(clock, pump, 5000, [&] { return elapsedMs(lastReport, clock.now()) >= 600; }));
        QObject::disconnect(c);
    }
    SteadyClock clock;
    QtEventPump pump{clock};
    IndiMounts mounts{IndiWait{clock, pump}};
    std::unique_ptr<SerialConnection> link;
};

TEST_F(IndiMountTest, TimedPulsesMoveEachDirectionTheRightWayByTheGuideRate)
{
    IndiTestServer server({QStringLiteral("indi_simulator_telescope")});
    ASSERT_TRUE(server.start());
    std::shared_ptr<IndiMount> mount = openScope(server);
    IndiSession &s = *mount->session();
    const double expectedArcsec = 1.0 * kGuideRate * kSiderealArcsecPerS; // a 1000 ms pulse
    struct Case { char direction; const char *element; double sign; double arcsecPerUnit; };
    const Case cases[] = {
        {'n', "DEC", +1, 3600.0}, {'s', "DEC", -1, 3600.0},
        {'w', "RA", -1, 3600.0 * 15.0}, {'e', "RA", +1, 3600.0 * 15.0}, // west lowers RA
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.direction);
        settle(s);
        const double before = coord(s, c.element);
        ASSERT_TRUE(mount->pulse(c.direction, 1000));
        const QString axis = c.element == std::string("DEC") ? QStringLiteral("TELESCOPE_TIMED_GUIDE_NS")
                                                             : QStringLiteral("TELESCOPE_TIMED_GUIDE_WE");
        ASSERT_TRUE(waitUntil(clock, pump, 3000, [&] { return s.property(kScope, axis)->state == IndiState::Busy; }));
        ASSERT_TRUE(waitUntil(clock, pump, 3000, [&] { return s.property(kScope, axis)->state != IndiState::Busy; }));
        settle(s);
        const double moved = (coord(s, c.element) - before) * c.arcsecPerUnit;
        EXPECT_NEAR(moved, c.sign * expectedArcsec, 0.1 * expectedArcsec);
    }
}

TEST_F(IndiMountTest, MoveThenStopAllEndsTheMotionPromptly)
{
    IndiTestServer server({QStringLiteral("indi_simulator_telescope")});
    ASSERT_TRUE(server.start());
    std::shared_ptr<IndiMount> mount = openScope(server);
    IndiSession &s = *mount->session();
    settle(s);
    const double start = coord(s, "DEC");
    ASSERT_TRUE(link->write(":RG#:Mn#").ok());
    const auto northOn = [&] { return s.property(kScope, QStringLiteral("TELESCOPE_MOTION_NS"))->switches.value(QStringLiteral("MOTION_NORTH")); };
    ASSERT_TRUE(waitUntil(clock, pump, 2000, northOn));
    EXPECT_TRUE(waitUntil(clock, pump, 2000, [&] { return coord(s, "DEC") > start + 1.0 / 3600; })); // it moves north

    ASSERT_TRUE(link->write(kStopAll).ok());
    const uint32_t stopAt = clock.now();
    ASSERT_TRUE(waitUntil(clock, pump, 2000, [&] { return !northOn(); }));
    EXPECT_LT(elapsedMs(stopAt, clock.now()), 100);
    settle(s);
    const double stopped = coord(s, "DEC");
    settle(s);
    EXPECT_NEAR(coord(s, "DEC"), stopped, 1e-7); // no motion left running
}

TEST_F(IndiMountTest, LostServerIsToldAndANewServerIsReachedWithNoMotionRunning)
{
    auto server = std::make_unique<IndiTestServer>(QStringList{QStringLiteral("indi_simulator_telescope")});
    ASSERT_TRUE(server->start());
    const quint16 port = server->port();
    openScope(*server);
    QStringList told; // heard as it happens, not only at the next send
    link->watchForLoss([&](const QString &sentence) { told << sentence; });
    ASSERT_TRUE(link->write(":RG#:Mn#").ok());
    server->stop(); // mid-move
    std::shared_ptr<IndiMount> mount = mounts.mount(server->url(kScope));
    ASSERT_TRUE(waitUntil(clock, pump, 3000, [&] { return !mount->alive(); }));
    const QString sentence = QStringLiteral("The INDI server at 127.0.0.1:%1 closed the connection.").arg(port);
    EXPECT_EQ(told, QStringList{sentence});
    const Result write = link->write(kStopAll);
    EXPECT_EQ(write.error().toStdString(), sentence.toStdString());

    server = std::make_unique<IndiTestServer>(QStringList{QStringLiteral("indi_simulator_telescope")}, port);
    ASSERT_TRUE(server->start());
    const SerialOpening again = mounts.open(server->url(kScope));
    ASSERT_TRUE(again.ok()) << again.error().toStdString();
    const IndiProperty *motion = mount->session()->property(kScope, QStringLiteral("TELESCOPE_MOTION_NS"));
    ASSERT_NE(motion, nullptr);
    EXPECT_FALSE(motion->switches.value(QStringLiteral("MOTION_NORTH")));
}

TEST_F(IndiMountTest, WrongDeviceOrNoServerIsRefusedNamingIt)
{
    IndiTestServer server({QStringLiteral("indi_simulator_telescope")});
    ASSERT_TRUE(server.start());
    const SerialOpening wrong = mounts.open(server.url(QStringLiteral("Telescope Simulater")));
    ASSERT_FALSE(wrong.ok());
    EXPECT_EQ(wrong.error().toStdString(),
              QStringLiteral("The INDI server at 127.0.0.1:%1 has no device \"Telescope Simulater\" (it has: Telescope Simulator).")
                  .arg(server.port()).toStdString());

    const quint16 nobody = freeLoopbackPort();
    const SerialOpening none = mounts.open(QStringLiteral("indi://127.0.0.1:%1/%2").arg(nobody).arg(kScope));
    ASSERT_FALSE(none.ok());
    EXPECT_EQ(none.error().toStdString(),
              QStringLiteral("The INDI server at 127.0.0.1:%1 refused the connection (is indiserver running there?).")
                  .arg(nobody).toStdString());
}

} // namespace
} // namespace orvane::test
