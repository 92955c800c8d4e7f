// The guider server driven by clients on loopback, on the simulated rig: the
// simulated clock moves the rig, the event loop moves the bytes.
#include "guider_client.h"
#include "guider_server.h"

#include "guide_log.h"
#include "guide_log_reader.h"
#include "app/sequence_fixture.h"

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QJsonArray>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

using namespace orvane;
using test::GuiderClient;
using test::pumpUntil;
using test::SocketPump;

namespace {

struct SocketTime {
    SimClock simClock{10000};
    SocketPump socketPump{simClock};
};

// The simulated camera and mount, the sequence beside the server, a guide log.
struct ServerRig : SocketTime, test::SequenceTestRig {
    explicit ServerRig(ServerLimits limits = {})
        : SequenceTestRig({.startMs = 10000,
                           .camera = test::RigCamera::SimulatedSky,
                           .link = test::RigLink::SimulatedMount,
                           .clock = &simClock,
                           .pump = &socketPump}),
          server(rig.context(), host(), ServerOptions{true, 0, QStringLiteral("127.0.0.1"), false}, limits)
    {
        state.SaveDir = dir.path();
        sequence.addGuideObserver(&server);
        server.mode().addGuideObserver(&log);
        server.mode().showGuidingFor = [this](const QString &client) { shown.push_back(client); };
    }
    ~ServerRig() { sequence.removeGuideObserver(&server); }

    GuiderHost host()
    {
        GuiderHost h;
        h.busyWith = [this] { return sequence.running() ? QStringLiteral("the imaging sequence runs") : QString(); };
        h.ownState = [this]() -> std::optional<AppState> {
            return sequence.running() ? std::optional(AppState::Looping) : std::nullopt;
        };
        h.markStar = [this](double x, double y) { sequence.onPictureMouseDown(x, y, true); };
        return h;
    }

    QTemporaryDir dir;
    GuiderServer server;
    GuideLog log{rig.context(), GuideLogOptions{true, dir.path()}};
    std::vector<QString> shown; // "Guiding for" whom, as the window is told
};

const QJsonObject kSettle{{"pixels", 1.5}, {"time", 2}, {"timeout", 60}};

GuideLogContents readLog(const QString &folder)
{
    const QStringList files = QDir(folder).entryList({QStringLiteral("guide_log-*.txt")});
    if (files.size() != 1)
        return {};
    QFile f(QDir(folder).filePath(files.first()));
    return f.open(QIODevice::ReadOnly) ? readGuideLog(f.readAll()) : GuideLogContents{};
}

} // namespace

TEST(GuiderServer, AClientLoopsFindsAStarGuidesSettlesDithersAndStops)
{
    ServerRig r;
    r.guiding.Axes = pictureAxes(r.settings.PixPerSec); // calibrated: the dither is one known move
    ASSERT_TRUE(r.server.start());
    GuiderClient client(r.server.port());
    ASSERT_TRUE(pumpUntil([&] { return !client.events("AppState").empty(); }));
    EXPECT_EQ(client.eventNames(), (std::vector<QString>{"Version", "CalibrationComplete", "AppState"}));
    EXPECT_EQ(client.received[0].value("MsgVersion").toInt(), 1);
    EXPECT_TRUE(client.received[0].value("OverlapSupport").toBool());
    EXPECT_EQ(client.events("AppState")[0].value("State").toString(), "Stopped");
    EXPECT_EQ(r.server.statusText(), QStringLiteral("Guider server on 127.0.0.1:%1, 1 client").arg(r.server.port()));

    int findId = 0, guideId = 0, ditherId = 0, stopId = 0, settled = 0;
    std::unique_ptr<GuiderClient> watcher; // comes while guiding
    client.onLine = [&](const QJsonObject &o) {
        const QString event = o.value("Event").toString();
        if (event == "LoopingExposures" && o.value("Frame").toInt() >= 1 && findId == 0) {
            findId = client.send("find_star");
        } else if (findId != 0 && guideId == 0 && o.value("id").toInt() == findId) {
            guideId = client.send("guide", QJsonObject{{"settle", kSettle}, {"recalibrate", true}});
        } else if (event == "SettleDone" && ++settled == 1) {
            ditherId = client.send("dither", QJsonObject{{"amount", 3}, {"raOnly", false}, {"settle", kSettle}});
            watcher = std::make_unique<GuiderClient>(r.server.port());
        } else if (event == "SettleDone" && settled == 2) {
            stopId = client.send("stop_capture");
        }
    };
    const int exposureId = client.send("set_exposure", QJsonObject{{"exposure", 1000}});
    client.send("loop");
    ASSERT_TRUE(pumpUntil([&] { return !client.events("LoopingExposuresStopped").empty(); }));

    EXPECT_EQ(client.reply(exposureId)->value("result").toInt(), 0);
    ASSERT_TRUE(client.reply(findId));
    const QJsonArray star = client.reply(findId)->value("result").toArray();
    ASSERT_EQ(star.size(), 2) << QJsonDocument(*client.reply(findId)).toJson().toStdString();
    EXPECT_EQ(client.reply(guideId)->value("result").toInt(), 0);
    EXPECT_EQ(client.reply(ditherId)->value("result").toInt(), 0);
    EXPECT_EQ(client.reply(stopId)->value("result").toInt(), 0);

    // One settle per request, each told from its beginning to its one end.
    const auto done = client.events("SettleDone");
    ASSERT_EQ(done.size(), 2u);
    for (const QJsonObject &d : done) {
        EXPECT_EQ(d.value("Status").toInt(), 0) << d.value("Error").toString().toStdString();
        EXPECT_GE(d.value("TotalFrames").toInt(), 1);
        EXPECT_EQ(d.value("DroppedFrames").toInt(), 0);
    }
    EXPECT_EQ(client.events("SettleBegin").size(), 2u);
    EXPECT_GE(int(client.events("Settling").size()), done[0].value("TotalFrames").toInt() + done[1].value("TotalFrames").toInt());
    // The mount's axes measured first, for the session.
    EXPECT_EQ(client.events("StartCalibration").size(), 1u);
    EXPECT_GE(client.events("Calibrating").size(), 4u);
    EXPECT_EQ(client.events("CalibrationComplete").size(), 2u); // at connect, and after this calibration
    ASSERT_TRUE(r.guiding.Axes);
    EXPECT_FALSE(r.guiding.Axes->when.isEmpty());
    EXPECT_EQ(client.events("StartGuiding").size(), 1u);
    EXPECT_EQ(client.events("GuidingDithered").size(), 1u);
    EXPECT_EQ(client.events("GuidingStopped").size(), 1u);
    EXPECT_TRUE(client.events("StarLost").empty());

    // Each GuideStep is the guide log's row of that step.
    const auto steps = client.events("GuideStep");
    const GuideLogContents log = readLog(r.dir.path());
    ASSERT_EQ(log.sessions.size(), 1u);
    ASSERT_EQ(log.sessions[0].steps.size(), steps.size());
    ASSERT_GE(steps.size(), 3u);
    for (size_t i = 0; i < steps.size(); ++i) {
        const LoggedStep &row = log.sessions[0].steps[i];
        EXPECT_EQ(steps[i].value("Frame").toInt(), int(i) + 1);
        EXPECT_NEAR(steps[i].value("dx").toDouble(), row.dxPx, 0.006);
        EXPECT_NEAR(steps[i].value("dy").toDouble(), row.dyPx, 0.006);
        EXPECT_NEAR(steps[i].value("RADistanceRaw").toDouble(), row.raPx, 0.006);
        EXPECT_NEAR(steps[i].value("DECDistanceRaw").toDouble(), row.decPx, 0.006);
        EXPECT_EQ(steps[i].value("RADuration").toInt(), row.raMs);
        EXPECT_EQ(steps[i].value("DECDuration").toInt(), row.decMs);
        EXPECT_NEAR(steps[i].value("Time").toDouble(), row.seconds, 0.001);
    }

    // A client that came while guiding heard where the lock is, then the state.
    ASSERT_TRUE(watcher);
    const std::vector<QString> heard = watcher->eventNames();
    ASSERT_GE(heard.size(), 6u);
    const std::vector<QString> greeting(heard.begin(), heard.begin() + 6);
    EXPECT_EQ(greeting, (std::vector<QString>{"Version", "LockPositionSet", "StarSelected", "CalibrationComplete",
                                              "StartGuiding", "AppState"}));
    EXPECT_EQ(watcher->events("AppState")[0].value("State").toString(), "Guiding");
    EXPECT_EQ(r.server.clientCount(), 2);

    // The window showed whom it guided for, until Stop; the end steps left the rig at rest.
    ASSERT_EQ(r.shown.size(), 2u);
    EXPECT_TRUE(r.shown[0].startsWith("127.0.0.1:"));
    EXPECT_EQ(r.shown[1], QString());
    EXPECT_EQ(r.port.writes().back().value, r.settings.GetImageState);
    EXPECT_FALSE(r.comm.PortOpen());
    EXPECT_FALSE(r.server.mode().active());

    // Afterwards: the star's image, a frame saved into the save folder only, the centroid way's settings.
    const int image = client.send("get_star_image", QJsonObject{{"size", 31}});
    const int saved = client.send("save_image");
    const int tooAggressive = client.send("set_algo_param", QJsonObject{{"axis", "ra"}, {"name", "aggressiveness"}, {"value", 3}});
    const int aggressiveness = client.send("get_algo_param", QJsonArray{"dec", "aggressiveness"});
    ASSERT_TRUE(pumpUntil([&] { return client.reply(aggressiveness).has_value(); }));
    const QJsonObject picture = client.reply(image)->value("result").toObject();
    EXPECT_EQ(picture.value("width").toInt(), 31);
    EXPECT_EQ(QByteArray::fromBase64(picture.value("pixels").toString().toLatin1()).size(), 31 * 31 * 2);
    const QString file = client.reply(saved)->value("result").toObject().value("filename").toString();
    EXPECT_TRUE(file.startsWith(r.dir.path() + "/")) << file.toStdString();
    EXPECT_TRUE(QFile::exists(file));
    EXPECT_TRUE(client.reply(tooAggressive)->value("error").toObject().value("message").toString().contains("value must lie"));
    EXPECT_EQ(client.reply(aggressiveness)->value("result").toDouble(), r.guiding.Options.aggressiveness);
}

TEST(GuiderServer, GuideDitherAndLoopAreRefusedWhileOrvanesOwnSequenceRuns)
{
    ServerRig r;
    r.panel.exposure = "5";
    r.panel.frameCount = "1";
    ASSERT_TRUE(r.server.start());
    GuiderClient client(r.server.port());
    ASSERT_TRUE(pumpUntil([&] { return !client.events("AppState").empty(); }));
    int guide = 0, dither = 0, loop = 0, state = 0;
    r.socketPump.at(r.simClock.now() + 500, [&] {
        guide = client.send("guide", QJsonObject{{"settle", kSettle}});
        dither = client.send("dither", QJsonArray{3, false, kSettle});
        loop = client.send("loop");
        state = client.send("get_app_state");
    });
    r.sequence.onCommand1Click(); // a five-second exposure, unguided
    ASSERT_TRUE(pumpUntil([&] { return state != 0 && client.reply(state); }));
    for (int id : {guide, dither, loop}) {
        const QJsonObject error = client.reply(id)->value("error").toObject();
        EXPECT_EQ(error.value("code").toInt(), 1);
        EXPECT_TRUE(error.value("message").toString().contains("the imaging sequence runs")) << error.value("message").toString().toStdString();
    }
    EXPECT_EQ(client.reply(state)->value("result").toString(), "Looping"); // watching is allowed
    EXPECT_FALSE(r.server.mode().active());
    EXPECT_TRUE(client.events("StartGuiding").empty());
}

TEST(GuiderServer, BadInputGetsItsErrorOrAClosedConnectionAndTheServerGoesOn)
{
    ServerRig r(ServerLimits{.maxUnsentBytes = 64 * 1024});
    ASSERT_TRUE(r.server.start());
    GuiderClient client(r.server.port());
    client.sendRaw("{\"method\": \"get_app_state\", \"id\": \r\n"); // cut short
    const int unknown = client.send("get_moon_phase");
    const int exposure = client.send("set_exposure", QJsonObject{{"exposure", "fast"}});
    const int settle = client.send("guide", QJsonObject{{"settle", QJsonObject{{"time", 2}, {"timeout", 60}}}});
    ASSERT_TRUE(pumpUntil([&] { return client.reply(settle).has_value(); }));
    const auto errorOf = [&](int id) { return client.reply(id)->value("error").toObject(); };
    const auto parse = std::find_if(client.received.begin(), client.received.end(),
                                    [](const QJsonObject &o) { return o.value("error").toObject().value("code").toInt() == -32700; });
    ASSERT_NE(parse, client.received.end());
    EXPECT_TRUE(parse->value("id").isNull());
    EXPECT_EQ(errorOf(unknown).value("code").toInt(), -32601);
    EXPECT_EQ(errorOf(exposure).value("code").toInt(), -32602);
    EXPECT_TRUE(errorOf(exposure).value("message").toString().contains("exposure must be a number"));
    EXPECT_EQ(errorOf(settle).value("code").toInt(), -32602);
    EXPECT_TRUE(errorOf(settle).value("message").toString().contains("settle.pixels"));

    // A line without end past 64 KiB: its error, then the connection closes.
    GuiderClient endless(r.server.port());
    endless.sendRaw(QByteArray(70 * 1024, 'x'));
    ASSERT_TRUE(pumpUntil([&] { return endless.closed; }));
    ASSERT_FALSE(endless.received.empty());
    EXPECT_EQ(endless.received.back().value("error").toObject().value("code").toInt(), -32600);

    // A flood from a client that never reads its answers: dropped once they pile up.
    GuiderClient deaf(r.server.port(), false);
    ASSERT_TRUE(pumpUntil([&] { return r.server.clientCount() == 2; }));
    QByteArray flood;
    for (int i = 0; i < 8000; ++i)
        flood += "{\"method\":\"get_current_equipment\",\"id\":" + QByteArray::number(i) + "}\r\n";
    deaf.sendRaw(flood);
    ASSERT_TRUE(pumpUntil([&] { return r.server.clientCount() == 1; }, 20000));
    // The well-behaved client is still answered.
    const int state = client.send("get_app_state");
    ASSERT_TRUE(pumpUntil([&] { return client.reply(state).has_value(); }));
    EXPECT_EQ(client.reply(state)->value("result").toString(), "Stopped");
    EXPECT_EQ(client.badLines, 0);
}

namespace {

// The main window on the simulated camera, its telescope link recorded, the
// server's port left to the system ([server] port=0 in orvane.ini).
struct WindowServerRig : SocketTime, test::TestRig {
    WindowServerRig()
        : test::TestRig({.startMs = 10000, .camera = test::RigCamera::SimulatedSky, .clock = &simClock, .pump = &socketPump})
    {
        QFile ini(dir.filePath("orvane.ini"));
        if (ini.open(QIODevice::WriteOnly))
            ini.write("[server]\nport=0\n");
        ini.close();
        state.SaveDir = dir.path();
        window = test::windowOn(*this, files, dir.path());
    }
    QTemporaryDir dir;
    test::NoFiles files;
    std::unique_ptr<MainWindow> window;
};

} // namespace

TEST(GuiderServer, TheWindowShowsWhomItGuidesForAndItsStopEndsGuidingWithTheEndSteps)
{
    WindowServerRig r;
    auto *command = r.window->findChild<QAction *>("guiderServer");
    ASSERT_TRUE(command);
    command->trigger();
    GuiderServer &server = r.window->guiderServer();
    ASSERT_TRUE(server.listening());
    const auto *label = r.window->findChild<QLabel *>("guiderServerStatus");
    EXPECT_EQ(label->text(), QStringLiteral("Guider server on 127.0.0.1:%1, 0 clients").arg(server.port()));

    GuiderClient guider(server.port()), watcher(server.port());
    ASSERT_TRUE(pumpUntil([&] { return server.clientCount() == 2 && !watcher.events("AppState").empty(); }));
    EXPECT_EQ(label->text(), QStringLiteral("Guider server on 127.0.0.1:%1, 2 clients").arg(server.port()));

    auto *startStop = r.window->findChild<QPushButton *>("Command1");
    const auto *status = r.window->findChild<QLineEdit *>("Text6");
    int findId = 0, stepsAfterLeaving = 0;
    bool left = false;
    QString statusWhileGuiding, captionWhileGuiding;
    guider.onLine = [&](const QJsonObject &o) {
        const QString event = o.value("Event").toString();
        if (event == "LoopingExposures" && o.value("Frame").toInt() >= 1 && findId == 0) {
            findId = guider.send("find_star");
        } else if (findId != 0 && o.value("id").toInt() == findId) {
            guider.send("guide", QJsonObject{{"settle", kSettle}});
        } else if (event == "SettleDone" && !left) {
            left = true;
            guider.socket.abort(); // the imaging program goes mid-guide: guiding goes on
        }
    };
    watcher.onLine = [&](const QJsonObject &o) {
        if (left && o.value("Event").toString() == "GuideStep" && ++stepsAfterLeaving == 2) {
            statusWhileGuiding = status->text();
            captionWhileGuiding = startStop->text();
            startStop->click(); // Stop
        }
    };
    guider.send("set_exposure", QJsonObject{{"exposure", 1000}});
    guider.send("loop");
    ASSERT_TRUE(pumpUntil([&] { return !watcher.events("LoopingExposuresStopped").empty(); }));

    EXPECT_TRUE(statusWhileGuiding.startsWith("Guiding for 127.0.0.1:")) << statusWhileGuiding.toStdString();
    EXPECT_EQ(captionWhileGuiding, "Stop");
    EXPECT_EQ(startStop->text(), "Start");
    EXPECT_EQ(watcher.events("GuidingStopped").size(), 1u);
    EXPECT_EQ(r.port.writes().back().value, r.settings.GetImageState); // the camera lines at rest
    ASSERT_FALSE(r.opener.writes.isEmpty());
    EXPECT_EQ(r.opener.writes.back(), QByteArray(kStopAll)); // the mount stopped, the link closed
    EXPECT_FALSE(r.comm.PortOpen());

    // A problem the window tells reaches the clients; switching the server off closes them.
    r.window->notify(QStringLiteral("The printer port went away."));
    ASSERT_TRUE(pumpUntil([&] { return !watcher.events("Alert").empty(); }));
    EXPECT_EQ(watcher.events("Alert").back().value("Msg").toString(), "The printer port went away.");
    command->trigger();
    EXPECT_FALSE(server.listening());
    EXPECT_TRUE(pumpUntil([&] { return watcher.closed; }));
    EXPECT_TRUE(label->isHidden());
}
