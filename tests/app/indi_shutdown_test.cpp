// SIGTERM during a correction, the mount on INDI behind a link that holds every
// byte 150 ms each way: the whole program runs in a child process, and once it has
// gone the relay has seen every axis it commanded On commanded Off again.
#include "../indi/indi_delay_relay.h"
#include "../indi/indi_test_server.h"
#include "config_file.h"
#include "test_support.h"

#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>

using namespace orvane;

TEST(IndiShutdown, ASigtermDuringACorrectionLeavesNoAxisOn)
{
    test::IndiTestServer server({QStringLiteral("indi_simulator_telescope")});
    ASSERT_TRUE(server.start());
    test::DelayRelay relay(server.port(), 150);
    QTemporaryDir dir;
    Settings s = LoadConfig(QStringLiteral(ORVANE_DEFAULT_CFG));
    s.CommPort = 1;
    s.PixPerSec = 1; // a slow rate: the correction lasts seconds
    SaveConfig(dir.filePath("orvane.cfg"), s);
    ASSERT_TRUE(test::writeAll(dir.filePath("orvane.ini"),
                               QStringLiteral("[serial]\nport1=indi://127.0.0.1:%1/Telescope Simulator\n"
                                              "[camera]\nhotPixels=0\n")
                                   .arg(relay.port())
                                   .toUtf8()));

    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.setWorkingDirectory(dir.path());
    child.start(QStringLiteral(ORVANE_GUIDED_CHILD), {dir.path()});
    ASSERT_TRUE(child.waitForStarted());
    SteadyClock clock;
    QtEventPump pump{clock};
    ASSERT_TRUE(test::waitUntil(clock, pump, 60000, [&] { return relay.onAt(relay.nowMs()); }))
        << "no correction was commanded";
    ::kill(pid_t(child.processId()), SIGTERM);
    ASSERT_TRUE(test::waitUntil(clock, pump, 30000, [&] { return child.state() == QProcess::NotRunning; }));
    // What the program wrote before it went is read by the relay within moments.
    EXPECT_TRUE(test::waitUntil(clock, pump, 3000, [&] { return !relay.onAt(relay.nowMs()); }));
    for (const char *axis : {"NS", "WE"})
        for (const test::OnSpan &span : relay.spans(QLatin1String(axis)))
            EXPECT_TRUE(span.stopped()) << axis << " commanded On at " << span.startMs << " ms was never stopped";
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(child.exitCode(), 128 + SIGTERM);
}
