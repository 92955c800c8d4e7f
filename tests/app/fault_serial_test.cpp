// The telescope link failing during a guided run: the simulated mount sits at
// the far end of a pseudo-terminal that the program opens as its serial device
// (comm port 1 mapped in orvane.ini), and the cable is pulled or the mount stops
// taking data part way through.
#include "fault_fixture.h"
#include "pty_pair.h"

#include <fcntl.h>
#include <unistd.h>

using namespace orvane;
using namespace orvane::test;

namespace {

constexpr int16_t kCommPort = 1;

// Fills the line towards the far end until it takes no more, as when the mount
// stops reading and the adapter's buffers are full. Returns the bytes written.
qint64 fillLine(const QString &slavePath)
{
    const int fd = ::open(QFile::encodeName(slavePath).constData(), O_WRONLY | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return -1;
    const QByteArray junk(4096, 'x');
    qint64 total = 0;
    for (ssize_t n; (n = ::write(fd, junk.constData(), size_t(junk.size()))) > 0;)
        total += n;
    ::close(fd);
    return total;
}

// The far end of the cable: passes what the program sends to the simulated
// mount and the mount's answers back. It is served every 20 ms of simulated
// time and after every sleep of the program.
class MountBehindPty {
public:
    MountBehindPty(FaultRig &rig, bool answering) : rig_(rig), answering_(answering)
    {
        if (!pty.ok())
            return;
        EXPECT_TRUE(setSerialDeviceFor(kCommPort, pty.slavePath(), rig.iniPath));
        rig.comm.setCommPort(kCommPort);
        rig.pump.afterSleep = [this] { serve(); };
        schedule();
    }
    void serve()
    {
        if (choking)
            fillLine(pty.slavePath());
        if (!reading)
            return;
        const QByteArray in = pty.readMaster();
        heard += in;
        if (!answering_)
            return;
        rig_.mount.receive(in);
        if (const QByteArray out = rig_.mount.takeReplies(); !out.isEmpty())
            pty.writeMaster(out);
    }
    // What the program managed to send, in one string.
    QByteArray delivered() const
    {
        QByteArray all;
        for (const LinkSend &s : rig_.tap.sends)
            if (s.delivered)
                all += s.bytes;
        return all;
    }

    PtyPair pty;
    QByteArray heard;    // every byte that reached the far end
    bool reading = true; // false: the far end takes nothing more off the line
    bool choking = false; // the line towards the far end is kept full

private:
    void schedule()
    {
        rig_.pump.at(rig_.clock.now() + 20, [this] {
            serve();
            schedule();
        });
    }
    FaultRig &rig_;
    bool answering_;
};

} // namespace

TEST(FaultSerial, AdapterUnpluggedMidExposureIsToldOnceAndTheRunGoesOn)
{
    FaultRig rig(5);
    MountBehindPty far(rig, true);
    if (!far.pty.ok())
        GTEST_SKIP() << "no pseudo-terminals on this system";
    size_t sendsBeforeUnplug = 0;
    rig.duringFrame(2, [&] {
        far.serve(); // what was on the line arrives before the cable goes
        far.pty.closeMaster();
        far.reading = false;
        sendsBeforeUnplug = rig.tap.sends.size();
    });
    ASSERT_TRUE(rig.run());

    // Everything sent before the cable went reached the mount byte for byte,
    // guide moves included; nothing after it counted as sent.
    ASSERT_GT(sendsBeforeUnplug, 2u);
    EXPECT_EQ(far.heard, far.delivered());
    for (size_t i = sendsBeforeUnplug; i < rig.tap.sends.size(); ++i)
        EXPECT_FALSE(rig.tap.sends[i].delivered) << i;

    // The loss is told once, naming the device; the mount could not be told to
    // stop at the end, and no second sentence repeats the same news.
    const QString lost = QStringLiteral("The telescope link on %1 was lost: ").arg(far.pty.slavePath());
    ASSERT_EQ(rig.panel.controls.notices.size(), 1) << rig.panel.controls.notices.join("\n").toStdString();
    EXPECT_TRUE(rig.panel.controls.notices[0].startsWith(lost)) << rig.panel.controls.notices[0].toStdString();
    EXPECT_EQ(rig.tap.sends.back().bytes, QByteArray(kStopAll));
    EXPECT_TRUE(rig.panel.messages.isEmpty());

    // The camera side never noticed: every frame is on disk.
    EXPECT_TRUE(rig.wholeFrames(rig.saveDir, frameNames(1, 5))) << rig.framesIn(rig.saveDir).join(" ").toStdString();
    EXPECT_EQ(rig.lastPortByte(), rig.settings.GetImageState);
    EXPECT_FALSE(rig.comm.PortOpen());
}

TEST(FaultSerial, MountThatStopsTakingDataIsToldOnceAndTheRunGoesOn)
{
    FaultRig rig(4);
    MountBehindPty far(rig, true);
    if (!far.pty.ok())
        GTEST_SKIP() << "no pseudo-terminals on this system";
    qint64 filled = 0;
    rig.duringFrame(2, [&] {
        far.serve();
        far.reading = false;
        filled = fillLine(far.pty.slavePath());
        far.choking = true;
    });
    ASSERT_TRUE(rig.run());
    ASSERT_GT(filled, 0);

    const QString lost = QStringLiteral("The telescope link on %1 was lost: the device no longer takes data")
                             .arg(far.pty.slavePath());
    ASSERT_EQ(rig.panel.controls.notices.size(), 1) << rig.panel.controls.notices.join("\n").toStdString();
    EXPECT_TRUE(rig.panel.controls.notices[0].startsWith(lost)) << rig.panel.controls.notices[0].toStdString();
    EXPECT_FALSE(rig.tap.sends.back().delivered);
    EXPECT_TRUE(rig.wholeFrames(rig.saveDir, frameNames(1, 4)));
    EXPECT_EQ(rig.lastPortByte(), rig.settings.GetImageState);
    EXPECT_FALSE(rig.comm.PortOpen()); // let go, so the device is free for the next run
}

TEST(FaultSerial, NoMountAtTheFarEndIsReportedAndTheMountIsStillToldToStop)
{
    FaultRig rig(3);
    MountBehindPty far(rig, false); // the line is there, nothing answers
    if (!far.pty.ok())
        GTEST_SKIP() << "no pseudo-terminals on this system";
    ASSERT_TRUE(rig.run());
    far.serve();
    EXPECT_EQ(rig.panel.messages, QStringList{"Can't find Telescope!"});
    EXPECT_EQ(far.heard, QByteArray("\x06") + kStopAll); // the probe, then the end's stop
    EXPECT_TRUE(rig.framesIn(rig.saveDir).isEmpty());     // no image frame was read out
    EXPECT_EQ(rig.imageReadouts(), 0);
    EXPECT_EQ(rig.lastPortByte(), rig.settings.GetImageState);
}

TEST(FaultSerial, SimulatedMountDeafFromTheStartIsReported)
{
    FaultRig rig(3);
    rig.tap.deaf = true;
    ASSERT_TRUE(rig.run());
    EXPECT_EQ(rig.panel.messages, QStringList{"Can't find Telescope!"});
    EXPECT_EQ(rig.mount.commandCount(), 0);
    EXPECT_EQ(rig.tap.lastDelivered(), QByteArray(kStopAll));
    EXPECT_EQ(rig.lastPortByte(), rig.settings.GetImageState);
}

TEST(FaultSerial, WritesFailingMidRunAreToldOnceNamingTheLink)
{
    FaultRig rig(4);
    const QString sentence = QStringLiteral("The telescope link on the simulated mount was lost: write timed out.");
    rig.duringFrame(3, [&] {
        rig.tap.failing = true;
        rig.tap.failure = sentence;
    });
    ASSERT_TRUE(rig.run());
    EXPECT_EQ(rig.panel.controls.notices, QStringList{sentence});
    EXPECT_TRUE(rig.wholeFrames(rig.saveDir, frameNames(1, 4)));
    EXPECT_EQ(rig.tap.sends.back().bytes, QByteArray(kStopAll));
    EXPECT_EQ(rig.lastPortByte(), rig.settings.GetImageState);
    // The mount heard nothing after the failure: it was last told to stop or move
    // by a send that went out before it.
    EXPECT_TRUE(rig.tap.sends.front().delivered);
}
