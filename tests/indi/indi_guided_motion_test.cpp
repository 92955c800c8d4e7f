// Guided frames on the simulated sky with the centroid way, the mount on INDI
// behind a relay that delays every byte each way: the time each axis was
// commanded On, as the relay saw it, matches the planned corrections move by
// move, every start has its stop, and nothing is left On after the stop, the
// link's close or the program's end. With moves, with pulses (the driver's
// timed guiding, or moves the mount stops itself), and with a driver that never
// echoes motion or deletes its motion property mid-move.

#include "indi_delay_relay.h"
#include "indi_test_server.h"
#include "rig_builder.h"

#include <gtest/gtest.h>
#include "indi_mount.h"

#include <cmath>

namespace orvane::test {
namespace {

const QString kScope = QStringLiteral("Telescope Simulator");
const QString kFake = QStringLiteral("Fake Mount");
constexpr int kSteps = 6;
constexpr uint32_t kStepMs = 750;  // from one correction's start to the next guide frame
constexpr int32_t kMaxMoveMs = 450;
constexpr qint64 kSlackMs = 50;    // commanded against planned, besides one round trip

// A server that defines a connected mount's motion (and, when asked, its abort)
// and never answers a command: no echo, no change of state.
class SilentMountServer : public QObject {
public:
    explicit SilentMountServer(bool abort) : abort_(abort)
    {
        listener_.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&listener_, &QTcpServer::newConnection, this, [this] {
            peer_ = listener_.nextPendingConnection();
            peer_->write(definitions());
        });
    }
    quint16 port() const { return listener_.serverPort(); }
    void remove(const QString &property)
    {
        peer_->write(QStringLiteral("<delProperty device=\"%1\" name=\"%2\"/>\n").arg(kFake, property).toUtf8());
    }

private:
    QByteArray definitions() const
    {
        const auto vector = [](const char *name, const char *rule, QStringList elements, const char *on) {
            QString xml = QStringLiteral("<defSwitchVector device=\"%1\" name=\"%2\" state=\"Idle\" perm=\"rw\" rule=\"%3\">")
                              .arg(kFake, QLatin1String(name), QLatin1String(rule));
            for (const QString &e : elements)
                xml += QStringLiteral("<defSwitch name=\"%1\">%2</defSwitch>").arg(e, e == QLatin1String(on) ? "On" : "Off");
            return xml + QStringLiteral("</defSwitchVector>\n");
        };
        QString all = vector("CONNECTION", "OneOfMany", {"CONNECT", "DISCONNECT"}, "CONNECT") +
                      vector("TELESCOPE_MOTION_NS", "AtMostOne", {"MOTION_NORTH", "MOTION_SOUTH"}, "") +
                      vector("TELESCOPE_MOTION_WE", "AtMostOne", {"MOTION_WEST", "MOTION_EAST"}, "");
        if (abort_)
            all += vector("TELESCOPE_ABORT_MOTION", "AtMostOne", {"ABORT"}, "");
        return all.toUtf8();
    }
    bool abort_;
    QTcpServer listener_;
    QPointer<QTcpSocket> peer_;
};

// The rig on the real clock, its telescope link an INDI mount behind the relay.
struct IndiGuidedRig {
    struct Opener : SerialOpener {
        IndiMounts &mounts;
        QString url;
        Opener(IndiMounts &m, QString u) : mounts(m), url(std::move(u)) {}
        SerialOpening open(int16_t) override { return mounts.open(url); }
        QString describe(int16_t) const override { return url; }
    };

    IndiGuidedRig(quint16 serverPort, const QString &device, int delayMs)
        : relay(serverPort, delayMs), opener(mounts, QStringLiteral("indi://127.0.0.1:%1/%2").arg(relay.port()).arg(device))
    {
        rig.useLink(opener);
        rig.guiding.chooseAlgorithm("centroid");
        rig.guiding.Options.algorithm = "centroid";
        rig.guiding.Options.maxMoveMs = kMaxMoveMs;
        rig.panel.guiding = true;
        rig.comm.onLinkLost = [this](const QString &sentence) { told << sentence; };
    }
    std::shared_ptr<IndiMount> mount() { return mounts.mount(opener.url); }

    // Marks the star, then guides kSteps frames; the planned ms per move of each axis ("NS", "WE").
    std::map<QString, std::vector<int32_t>> guide(bool pulse)
    {
        rig.guiding.Options.pulse = pulse;
        rig.rig.GrabGuideFrame();
        const QPointF star = rig.simCamera->starField().guideStar() + rig.sky.offsetAt(clock.now());
        rig.state.StarX = int(std::lround(star.x()));
        rig.state.StarY = int(std::lround(star.y()));
        rig.rig.lockOnMark();
        std::map<QString, std::vector<int32_t>> planned;
        for (int step = 0; step < kSteps; ++step) {
            rig.rig.GrabGuideFrame();
            rig.rig.MeasureGuideStar();
            const uint32_t start = clock.now();
            rig.rig.StartGuideMove();
            for (const AxisMove *axis : {&rig.guiding.Planned.x, &rig.guiding.Planned.y})
                if (axis->dir != 0 && axis->ms > 0)
                    planned[axis->direction == "n" || axis->direction == "s" ? "NS" : "WE"].push_back(axis->ms);
            rig.rig.ServicedWait(start, int32_t(kStepMs));
        }
        return planned;
    }
    // Runs events for `ms` on the real clock (the relay delivers what it holds).
    void run(uint32_t ms) { waitUntil(clock, pump, ms, [] { return false; }); }

    SteadyClock clock;
    QtEventPump pump{clock};
    DelayRelay relay;
    IndiMounts mounts{IndiWait{clock, pump}};
    Opener opener;
    TestRig rig{{.camera = RigCamera::SimulatedSky,
                 .sky = {.driftXPxPerMin = 90, .driftYPxPerMin = -70, .periodicErrorPx = 0},
                 .clock = &clock,
                 .pump = &pump}};
    QStringList told;
};

// Each axis' spans against its planned moves: as many, each within the slack and a round trip, all stopped.
void expectCommandedAsPlanned(const IndiGuidedRig &r, const std::map<QString, std::vector<int32_t>> &planned, int delayMs)
{
    int moves = 0;
    for (const char *axis : {"NS", "WE"}) {
        SCOPED_TRACE(axis);
        const std::vector<OnSpan> spans = r.relay.spans(QString::fromLatin1(axis));
        const std::vector<int32_t> want = planned.count(axis) ? planned.at(axis) : std::vector<int32_t>{};
        moves += int(want.size());
        ASSERT_EQ(spans.size(), want.size());
        for (size_t i = 0; i < spans.size(); ++i) {
            ASSERT_TRUE(spans[i].stopped()) << "move " << i << " has no stop";
            EXPECT_NEAR(double(spans[i].lengthMs()), double(want[i]), double(kSlackMs + 2 * delayMs)) << "move " << i;
        }
    }
    EXPECT_GE(moves, kSteps); // the sky drifts on both axes: most steps correct
}

class IndiGuidedMotion : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override { ASSERT_TRUE(IndiTestServer::installed()) << "indi-bin is missing: run tools/bootstrap"; }
};

TEST_P(IndiGuidedMotion, MovesAndPulsesAreCommandedAsPlannedAndNothingRunsAfterStop)
{
    const int delayMs = GetParam();
    IndiTestServer server({QStringLiteral("indi_simulator_telescope")});
    ASSERT_TRUE(server.start());
    for (const bool pulse : {false, true}) {
        SCOPED_TRACE(pulse ? "pulses" : "moves");
        IndiGuidedRig r(server.port(), kScope, delayMs);
        ASSERT_TRUE(r.rig.comm.setPortOpen(true).ok());
        const auto planned = r.guide(pulse);
        r.rig.rig.sendStopAll(); // Stop
        r.run(uint32_t(2 * delayMs + 200));
        expectCommandedAsPlanned(r, planned, delayMs);
        EXPECT_FALSE(r.relay.onAt(r.relay.nowMs()));
        EXPECT_TRUE(r.told.isEmpty()) << r.told.join(' ').toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(LinkDelay, IndiGuidedMotion, ::testing::Values(150));

TEST(IndiSilentDriver, StopsGoOutWithoutEchoesAtTheEndOfMovesPulsesCloseAndExit)
{
    constexpr int kDelayMs = 100;
    SilentMountServer server(false);
    {
        IndiGuidedRig r(server.port(), kFake, kDelayMs);
        ASSERT_TRUE(r.rig.comm.setPortOpen(true).ok());
        expectCommandedAsPlanned(r, r.guide(false), kDelayMs); // moves
        r.relay.setDelayMs(kDelayMs);
        const size_t before = r.relay.spans("NS").size() + r.relay.spans("WE").size();
        const auto pulses = r.guide(true); // no timed guiding: the mount stops each pulse itself
        r.run(uint32_t(2 * kDelayMs + 100));
        int pulsesPlanned = 0;
        for (const auto &[axis, list] : pulses)
            pulsesPlanned += int(list.size());
        EXPECT_EQ(r.relay.spans("NS").size() + r.relay.spans("WE").size(), before + size_t(pulsesPlanned));
        EXPECT_FALSE(r.relay.onAt(r.relay.nowMs()));

        // A move still running when the link closes.
        ASSERT_TRUE(r.rig.comm.setPortOpen(true).ok());
        r.rig.comm.Output(":RG#:Me#");
        r.run(20);
        (void)r.rig.comm.setPortOpen(false);
        r.run(uint32_t(2 * kDelayMs + 100));
        EXPECT_FALSE(r.relay.onAt(r.relay.nowMs()));
        EXPECT_TRUE(r.relay.spans("WE").back().stopped());
    }
    // A move still running when the program ends (the mounts go with it, as at a close or SIGTERM).
    SteadyClock clock;
    QtEventPump pump{clock};
    auto relay = std::make_unique<DelayRelay>(server.port(), kDelayMs);
    {
        IndiMounts mounts{IndiWait{clock, pump}};
        SerialOpening opened = mounts.open(QStringLiteral("indi://127.0.0.1:%1/%2").arg(relay->port()).arg(kFake));
        ASSERT_TRUE(opened.ok()) << opened.error().toStdString();
        ASSERT_TRUE(opened.value()->write(":RG#:Mn#").ok());
        waitUntil(clock, pump, 20, [] { return false; });
    }
    waitUntil(clock, pump, 2 * kDelayMs + 100, [] { return false; });
    ASSERT_EQ(relay->spans("NS").size(), 1u);
    EXPECT_TRUE(relay->spans("NS").back().stopped());
}

TEST(IndiSilentDriver, MotionPropertyDeletedMidMoveIsToldAndStoppedByWhatRemains)
{
    SilentMountServer server(true);
    IndiGuidedRig r(server.port(), kFake, 0);
    ASSERT_TRUE(r.rig.comm.setPortOpen(true).ok());
    r.rig.comm.Output(":RG#:Mn#");
    r.run(50);
    server.remove(QStringLiteral("TELESCOPE_MOTION_NS"));
    ASSERT_TRUE(waitUntil(r.clock, r.pump, 2000, [&] { return !r.told.isEmpty(); }));
    EXPECT_EQ(r.told, QStringList{QStringLiteral("The INDI device \"Fake Mount\" on 127.0.0.1:%1 deleted TELESCOPE_MOTION_NS "
                                                 "while the mount moved north; Orvane sent the stop to it and to "
                                                 "TELESCOPE_ABORT_MOTION.")
                                      .arg(r.relay.port())});
    r.run(50);
    ASSERT_EQ(r.relay.spans("NS").size(), 1u);
    EXPECT_TRUE(r.relay.spans("NS").back().stopped());
}

} // namespace
} // namespace orvane::test
