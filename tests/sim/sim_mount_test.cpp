// The simulated mount: its reading of the byte stream, the motion it gives the
// sky, its settings, and its links (in-process for comm port 0, a pseudo-terminal
// for a real serial device).

#include "pty_pair.h"
#include "rig_builder.h"
#include "rig_serial_opener.h"
#include "serial_devices.h"
#include "sim_mount.h"
#include "test_support.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace orvane::test {
namespace {

constexpr SkyMotion kStillSky{0, 0, 0, 480}; // no drift, no periodic error

class SimMountTest : public ::testing::Test {
protected:
    SimClock clock{5000};
    SimSky sky{5000, kStillSky};
    SimMount mount{sky, clock};

    // Where the mount has moved the star image after `ms` more milliseconds.
    QPointF after(uint32_t ms)
    {
        clock.advance(ms);
        return sky.offsetAt(clock.now());
    }
};

TEST_F(SimMountTest, AnswersTheAcknowledgeByte)
{
    mount.receive(QByteArray(1, '\x06'));
    EXPECT_EQ(mount.takeReplies(), QByteArray("P"));
    EXPECT_TRUE(mount.takeReplies().isEmpty());
    mount.receive(":Qn#:Qs#:Qe#:Qw#");
    EXPECT_TRUE(mount.takeReplies().isEmpty()); // moves and stops are not answered
}

TEST_F(SimMountTest, GuideMoveRunsUntilItsStop)
{
    mount.receive(":RG#:Mn#");
    EXPECT_TRUE(mount.moving('n'));
    EXPECT_EQ(mount.rateMultiple(), 1);
    EXPECT_EQ(after(1000), QPointF(0, 5)); // n moves the star image down, 5 px/s
    mount.receive(":Qs#");                 // another direction's stop: still moving
    EXPECT_EQ(after(1000), QPointF(0, 10));
    mount.receive(":Qn#:Qs#:Qe#:Qw#");
    EXPECT_FALSE(mount.moving('n'));
    EXPECT_EQ(after(1000), QPointF(0, 10));
}

TEST_F(SimMountTest, EachDirectionMovesTheImageItsOwnWay)
{
    const struct {
        const char *command;
        QPointF perSecond;
    } cases[] = {{":Mn#", {0, 5}}, {":Ms#", {0, -5}}, {":Me#", {-5, 0}}, {":Mw#", {5, 0}}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.command);
        const QPointF before = sky.offsetAt(clock.now());
        mount.receive(c.command);
        EXPECT_EQ(after(1000) - before, c.perSecond);
        mount.receive(":Q#");
    }
}

TEST_F(SimMountTest, FasterRatesMoveFaster)
{
    mount.receive(":RC#:Mw#");
    EXPECT_EQ(after(1000).x(), 5 * SimMount::kCenteringRate);
    mount.receive(":RM#");
    EXPECT_EQ(after(1000).x(), 5 * (SimMount::kCenteringRate + SimMount::kFindRate));
    mount.receive(":RS#:Q#");
    const double x = sky.offsetAt(clock.now()).x();
    EXPECT_EQ(after(1000).x(), x);
    EXPECT_EQ(mount.rateMultiple(), SimMount::kSlewRate);
}

TEST_F(SimMountTest, CameraAngleTurnsTheMotion)
{
    SimMount turned(sky, clock, SimMountOptions{2.0, 90.0});
    turned.receive(":RG#:Mw#"); // +x at angle 0 becomes +y at 90 degrees
    const QPointF moved = after(1000);
    EXPECT_NEAR(moved.x(), 0, 1e-9);
    EXPECT_NEAR(moved.y(), 2, 1e-9);
}

TEST_F(SimMountTest, CommandsSplitIntoSingleBytesReadTheSame)
{
    const QByteArray stream = QByteArray(1, '\x06') + ":RG#:Me#";
    for (char byte : stream)
        mount.receive(QByteArray(1, byte));
    EXPECT_EQ(mount.takeReplies(), QByteArray("P"));
    EXPECT_TRUE(mount.moving('e'));
    EXPECT_EQ(mount.commandCount(), 2);
}

TEST_F(SimMountTest, GarbledInputDoesNotDesynchroniseTheStream)
{
    // Noise outside commands, an unfinished command cut by the next ':', an
    // unknown command, a command too long to be real, and a bad direction.
    mount.receive("xyz#:Mn:Me#");
    EXPECT_FALSE(mount.moving('n'));
    EXPECT_TRUE(mount.moving('e'));
    mount.receive(":GVP#:Mq#:RX#");
    mount.receive(":" + QByteArray(100, 'M') + "#");
    EXPECT_EQ(mount.commandCount(), 1);
    mount.receive("#:Qe#");
    EXPECT_FALSE(mount.moving('e'));
    EXPECT_EQ(mount.rateMultiple(), 1);
    // An acknowledge byte in the middle of a command is answered; the command is dropped.
    mount.receive(":M\x06n#:Mw#");
    EXPECT_EQ(mount.takeReplies(), QByteArray("P"));
    EXPECT_FALSE(mount.moving('n'));
    EXPECT_TRUE(mount.moving('w'));
}

TEST(SimMountOptionsTest, ReadsTheMountGroupOfTheIniFile)
{
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("orvane.ini"));
    QString problem = QStringLiteral("stale");
    SimMountOptions missing = SimMountOptions::fromIni(ini, &problem);
    EXPECT_EQ(missing.guideRatePxPerSec, 5.0);
    EXPECT_EQ(missing.cameraAngleDeg, 0.0);
    EXPECT_TRUE(problem.isEmpty());

    ASSERT_TRUE(writeAll(ini, "[mount]\nguideRatePxPerSec=7.5\ncameraAngleDeg=-30\n"));
    const SimMountOptions read = SimMountOptions::fromIni(ini, &problem);
    EXPECT_EQ(read.guideRatePxPerSec, 7.5);
    EXPECT_EQ(read.cameraAngleDeg, -30.0);
    EXPECT_TRUE(problem.isEmpty());

    const QString other = dir.filePath(QStringLiteral("other.ini"));
    ASSERT_TRUE(writeAll(other, "[mount]\nguideRatePxPerSec=fast\ncameraAngleDeg=45\n"));
    const SimMountOptions bad = SimMountOptions::fromIni(other, &problem);
    EXPECT_EQ(bad.guideRatePxPerSec, 5.0);
    EXPECT_EQ(bad.cameraAngleDeg, 45.0);
    EXPECT_TRUE(problem.contains(other)) << problem.toStdString();
    EXPECT_TRUE(problem.contains(QStringLiteral("guideRatePxPerSec: \"fast\""))) << problem.toStdString();
}

TEST_F(SimMountTest, CommPortZeroReachesTheMountInProcess)
{
    RigSerialOpener opener(mount, QString{});
    MountLink comm(opener);
    comm.setCommPort(0);
    ASSERT_TRUE(comm.setPortOpen(true).ok());
    comm.Output(QByteArray(1, '\x06'));
    EXPECT_EQ(comm.Input(), QByteArray("P"));
    comm.Output(":RG#:Ms#");
    EXPECT_TRUE(mount.moving('s'));
    ASSERT_TRUE(comm.setPortOpen(false).ok());
    EXPECT_TRUE(mount.moving('s')); // closing the link does not stop a real mount either

    comm.setCommPort(-2);
    const Result refused = comm.setPortOpen(true);
    EXPECT_FALSE(refused.ok());
    EXPECT_TRUE(refused.error().contains(QStringLiteral("-2")));
}

// The mount at the far end of a pseudo-terminal: it hears whatever the
// QSerialPort adapter put on the line and answers through it.
class MountBehindPtyTest : public SimMountTest {
protected:
    void SetUp() override
    {
        if (!pty.ok())
            GTEST_SKIP() << "no pseudo-terminals on this machine";
        ASSERT_TRUE(setSerialDeviceFor(kPort, pty.slavePath(), ini));
        comm.setCommPort(kPort);
        ASSERT_TRUE(comm.setPortOpen(true).ok());
    }
    // The mount reads the line and answers; returns what it read.
    QByteArray serviceMount()
    {
        const QByteArray heard = pty.readMaster();
        mount.receive(heard);
        pty.writeMaster(mount.takeReplies());
        return heard;
    }

    static constexpr int16_t kPort = 1;
    PtyPair pty;
    QTemporaryDir dir;
    QString ini = dir.filePath(QStringLiteral("orvane.ini"));
    SimMount otherMount{sky, clock}; // comm port 0 would reach this one
    RigSerialOpener opener{otherMount, ini};
    MountLink comm{opener};
    SimEventPump pump{clock};
};

TEST_F(MountBehindPtyTest, ProbeIsAnsweredWithinTheWait)
{
    comm.Output(QByteArray(1, '\x06'));
    const uint32_t t0 = clock.now();
    EXPECT_EQ(serviceMount(), QByteArray(1, '\x06'));
    pump.sleepWithoutEvents(t0 + 200);
    EXPECT_EQ(comm.Input(), QByteArray("P"));
}

TEST_F(MountBehindPtyTest, ADevicePickedButNotStoredOpensForItsPort)
{
    ASSERT_TRUE(comm.setPortOpen(false).ok()); // one program at a time on a serial device
    // orvane.ini does not name comm port 2; the picked device is opened all the same.
    SerialOpening picked = opener.openDevice(2, pty.slavePath());
    ASSERT_TRUE(picked.ok()) << picked.error().toStdString();
    ASSERT_TRUE(picked.value()->write(QByteArray(1, '\x06')).ok());
    EXPECT_EQ(serviceMount(), QByteArray(1, '\x06'));
    const SerialOpening missing = opener.openDevice(2, QStringLiteral("/dev/orvane-no-such-device"));
    ASSERT_FALSE(missing.ok());
    EXPECT_TRUE(missing.error().contains(QStringLiteral("/dev/orvane-no-such-device"))) << missing.error().toStdString();
}

TEST_F(MountBehindPtyTest, SilentLineGivesAnEmptyInputAfterTheWait)
{
    comm.Output(QByteArray(1, '\x06'));
    pump.sleepWithoutEvents(clock.now() + 200);
    EXPECT_TRUE(comm.Input().isEmpty());
    EXPECT_EQ(clock.now(), 5200u);
}

TEST_F(MountBehindPtyTest, GuideMoveAndStopReachTheMountByteForByte)
{
    comm.Output(":Qn#:Qs#:Qe#:Qw#");
    comm.Output(":RG#:Mw#");
    EXPECT_EQ(serviceMount(), QByteArray(":Qn#:Qs#:Qe#:Qw#:RG#:Mw#"));
    EXPECT_TRUE(mount.moving('w'));
    EXPECT_EQ(after(2000), QPointF(10, 0));
    comm.Output(":Qn#:Qs#:Qe#:Qw#");
    serviceMount();
    EXPECT_FALSE(mount.moving('w'));
    EXPECT_FALSE(otherMount.moving('w'));
}

// The whole loop on the simulated rig: the move timer ends a guide-rate move
// after the measured drift, and the mount has moved the star back by it.
class GuidedCorrectionTest : public ::testing::Test, protected TestRig {
protected:
    GuidedCorrectionTest() : TestRig({.link = RigLink::SimulatedMount, .sky = kStillSky}) {}

    // Starts the correction of a measured drift on x the way a guide cycle does.
    void correctX(float drift)
    {
        guiding.DriftX = drift;
        guiding.MoveDirX = drift > 0 ? 1 : -1;
        guiding.MoveClock = clock.now();
        rig.sendStopAll();
        rig.sendGuideMove(drift > 0 ? settings.DirLeft : settings.DirRight);
    }
};

TEST_F(GuidedCorrectionTest, RightLettersAndRateBringTheStarBack)
{
    ASSERT_TRUE(comm.setPortOpen(true).ok());
    panel.guiding = true;
    settings.PixPerSec = 5;
    correctX(8);
    rig.ServicedWait(clock.now(), 3000);
    EXPECT_EQ(guiding.MoveDirX, 0);
    EXPECT_FALSE(mount.moving('e'));
    // Stopped when less than 2 px were left: moved between 6 and 6.2 px back.
    EXPECT_NEAR(sky.offsetAt(clock.now()).x(), -6.0, 0.2);
}

TEST_F(GuidedCorrectionTest, SwappedLettersPushTheStarFurtherOut)
{
    ASSERT_TRUE(comm.setPortOpen(true).ok());
    panel.guiding = true;
    settings.DirLeft = QStringLiteral("w");
    correctX(8);
    rig.ServicedWait(clock.now(), 3000);
    EXPECT_GT(sky.offsetAt(clock.now()).x(), 5.9);
}

} // namespace
} // namespace orvane::test

namespace orvane::test {
namespace {

TEST(SimMountAxes, RatesMirrorAndSwappedLettersMoveTheStarTheirWay)
{
    SimMountOptions slowRa;
    slowRa.raRatePxPerSec = 2;
    slowRa.decRatePxPerSec = 4;
    const struct {
        const char *name;
        SimMountOptions options;
        QPointF w, n; // per second of drive
    } cases[] = {
        {"per-axis rates", slowRa, {2, 0}, {0, 4}},
        {"mirrored", {.mirrored = true}, {5, 0}, {0, -5}},
        {"n and s swapped", {.swapNS = true}, {5, 0}, {0, -5}},
        {"e and w swapped", {.swapEW = true}, {-5, 0}, {0, 5}},
        {"mirrored at 90 degrees", {.cameraAngleDeg = 90, .mirrored = true}, {0, 5}, {5, 0}},
        {"Dec 30 degrees from square", {.decSkewDeg = 30}, {5, 0}, {-2.5, 5 * std::sqrt(3.0) / 2}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        SimClock clock{5000};
        SimSky sky{5000, kStillSky};
        SimMount mount(sky, clock, c.options);
        for (auto [command, expected] : {std::pair{":Mw#", c.w}, std::pair{":Mn#", c.n}}) {
            const QPointF before = sky.offsetAt(clock.now());
            mount.receive(command);
            clock.advance(1000);
            mount.receive(":Q#");
            const QPointF moved = sky.offsetAt(clock.now()) - before;
            EXPECT_NEAR(moved.x(), expected.x(), 1e-9) << command;
            EXPECT_NEAR(moved.y(), expected.y(), 1e-9) << command;
        }
    }
}

TEST(SimMountAxes, DecStandsStillForItsBacklashAfterAReversal)
{
    for (const bool pulses : {false, true}) {
        SCOPED_TRACE(pulses ? "pulses" : "move and stop");
        SimClock clock{5000};
        SimSky sky{5000, kStillSky};
        SimMount mount(sky, clock, {.decBacklashMs = 600});
        const auto driveMs = [&](char letter, uint32_t ms) {
            const double before = sky.offsetAt(clock.now()).y();
            if (pulses) {
                mount.receive(QStringLiteral(":Mg%1%2#").arg(letter).arg(ms, 5, 10, QLatin1Char('0')).toLatin1());
                clock.advance(ms + 50);
            } else {
                mount.receive(QByteArray(":M") + letter + '#');
                clock.advance(ms);
                mount.receive(":Q#");
            }
            return sky.offsetAt(clock.now()).y() - before;
        };
        EXPECT_NEAR(driveMs('n', 1000), 5, 1e-9);  // the gears were meshed
        EXPECT_NEAR(driveMs('n', 1000), 5, 1e-9);  // the same way: no slack
        EXPECT_NEAR(driveMs('s', 1000), -2, 1e-9); // 600 ms of slack first
        EXPECT_NEAR(driveMs('n', 400), 0, 1e-9);   // reversed again: 400 of 600 ms taken up
        EXPECT_NEAR(driveMs('s', 1000), -3, 1e-9); // back: only those 400 ms to cross again
        EXPECT_NEAR(driveMs('w', 1000), 0, 1e-9);  // RA knows no backlash
    }
}

TEST(SimMountAxes, NewKeysAreReadAndBadValuesNamed)
{
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("orvane.ini"));
    ASSERT_TRUE(writeAll(ini, "[mount]\nguideRatePxPerSec=4\ndecRatePxPerSec=6\nmirrored=true\ndecBacklashMs=300\n"
                              "decSkewDeg=12\n"
                              "swapNS=false\nswapEW=yes\n"));
    QString problem;
    const SimMountOptions read = SimMountOptions::fromIni(ini, &problem);
    EXPECT_EQ(read.raRate(), 4.0); // the guide rate when not given
    EXPECT_EQ(read.decRate(), 6.0);
    EXPECT_TRUE(read.mirrored);
    EXPECT_EQ(read.decBacklashMs, 300.0);
    EXPECT_EQ(read.decSkewDeg, 12.0);
    EXPECT_FALSE(read.swapEW);
    EXPECT_TRUE(problem.contains(QStringLiteral("[mount] swapEW: \"yes\" is neither true nor false; using false.")))
        << problem.toStdString();
}

} // namespace
} // namespace orvane::test
