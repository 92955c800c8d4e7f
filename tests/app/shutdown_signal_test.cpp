// A signal during a running correction (a logout, a shutdown, Ctrl+C) must not
// leave the mount moving: the whole program runs in a child process with its
// mount on a pseudo-terminal, a guided run sends a correction, the signal comes,
// and the last bytes on the line must be the stop-all.
#include "config_file.h"
#include "pty_pair.h"
#include "test_support.h"
#include "rig.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <poll.h>
#include <csignal>

using namespace orvane;

namespace {

constexpr int kTimeoutMs = 60000; // the whole exchange; normally about 3 s

// The program's settings folder: the mount on comm port 1 = the pseudo-terminal,
// a slow guide rate so the correction lasts seconds, no hot pixels to mistake for the star.
void writeSettings(const QString &dir, const QString &mountDevice)
{
    Settings s = LoadConfig(QStringLiteral(ORVANE_DEFAULT_CFG));
    s.CommPort = 1;
    s.PixPerSec = 1;
    SaveConfig(dir + QStringLiteral("/orvane.cfg"), s);
    test::writeAll(dir + QStringLiteral("/orvane.ini"),
                   QStringLiteral("[serial]\nport1=%1\n[camera]\nhotPixels=0\n").arg(mountDevice).toUtf8());
}

// Reads the mount's line until `done` holds, answering the presence probe.
template <typename Done>
bool serveMount(test::PtyPair &pty, QByteArray &received, QProcess &child, Done done)
{
    QElapsedTimer elapsed;
    elapsed.start();
    while (!done() && elapsed.elapsed() < kTimeoutMs) {
        pollfd fd{pty.masterFd(), POLLIN, 0};
        ::poll(&fd, 1, 50); // until the program writes, or 50 ms to look at the child again
        const QByteArray bytes = pty.readMaster();
        if (bytes.contains('\x06'))
            pty.writeMaster("A"); // any answer means a mount is there
        received += bytes;
        child.waitForFinished(0);
    }
    return done();
}

class ShutdownSignalTest : public ::testing::TestWithParam<int> {};

TEST_P(ShutdownSignalTest, StopsTheMountBeforeExiting)
{
    const int signal = GetParam();
    test::PtyPair pty;
    ASSERT_TRUE(pty.ok());
    QTemporaryDir dir;
    writeSettings(dir.path(), pty.slavePath());

    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.setWorkingDirectory(dir.path()); // the save folder it starts in, with its guide log
    child.start(QStringLiteral(ORVANE_GUIDED_CHILD), {dir.path()});
    ASSERT_TRUE(child.waitForStarted());

    QByteArray received;
    const bool moving = serveMount(pty, received, child, [&] { return received.contains(":RG#:M"); });
    ASSERT_TRUE(moving) << "no correction started; the line carried: " << received.toStdString();
    ASSERT_EQ(child.state(), QProcess::Running);
    ::kill(pid_t(child.processId()), signal);

    ASSERT_TRUE(serveMount(pty, received, child, [&] { return child.state() == QProcess::NotRunning; }));
    received += pty.readMaster();
    EXPECT_TRUE(received.endsWith(kStopAll)) << received.toStdString();
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(child.exitCode(), 128 + signal);
}

std::string signalName(const ::testing::TestParamInfo<int> &info)
{
    return info.param == SIGTERM ? "TERM" : info.param == SIGINT ? "INT" : "HUP";
}

INSTANTIATE_TEST_SUITE_P(EachSignal, ShutdownSignalTest, ::testing::Values(SIGTERM, SIGINT, SIGHUP), signalName);

} // namespace
