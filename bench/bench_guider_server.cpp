// The guider server on loopback, the rig on the simulated clock: the round trip
// of a request (get_app_state) with 1 and 8 clients connected, beside a bare
// TCP echo of a line of the same size measured in the same run; the wall time
// from a guide step to its GuideStep event at each client, with 1 and 8
// clients; and the resident memory with 8 clients through 10 simulated minutes
// of guiding. Goals: round trip and event latency under 5 ms; memory flat.

#include "app/sequence_fixture.h"
#include "bench_row.h"
#include "guider_server.h"
#include "guider_server/guider_client.h"

#include <QApplication>
#include <QFile>
#include <QJsonArray>
#include <QTcpServer>

#include <algorithm>
#include <chrono>
#include <cstdio>

using namespace orvane;
using test::GuiderClient;
using test::pumpUntil;

namespace {

using Steady = std::chrono::steady_clock;

double msSince(Steady::time_point t0) { return std::chrono::duration<double, std::milli>(Steady::now() - t0).count(); }

long residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').front().toLong();
    return 0;
}

struct Figures {
    double meanMs = 0, worstMs = 0;
};
Figures figuresOf(std::vector<double> ms)
{
    Figures f;
    if (ms.empty())
        return f;
    for (double v : ms)
        f.meanMs += v;
    f.meanMs /= double(ms.size());
    f.worstMs = *std::max_element(ms.begin(), ms.end());
    return f;
}

// A line echoed by a bare QTcpServer in this process: the loopback and event loop's own cost.
Figures echoRoundTrip(int trips)
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    QObject::connect(&server, &QTcpServer::newConnection, [&] {
        QTcpSocket *s = server.nextPendingConnection();
        QObject::connect(s, &QTcpSocket::readyRead, [s] {
            s->write(s->readAll());
            s->flush();
        });
    });
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, server.serverPort());
    client.waitForConnected(2000);
    const QByteArray line = "{\"method\":\"get_app_state\",\"id\":1}\r\n";
    std::vector<double> ms;
    for (int i = 0; i < trips; ++i) {
        const Steady::time_point t0 = Steady::now();
        client.write(line);
        client.flush();
        QByteArray got;
        pumpUntil([&] {
            got += client.readAll();
            return got.size() >= line.size();
        });
        ms.push_back(msSince(t0));
    }
    return figuresOf(ms);
}

struct SocketTime {
    SimClock simClock{10000};
    test::SocketPump socketPump{simClock};
};

struct BenchRig : SocketTime, test::SequenceTestRig {
    BenchRig()
        : SequenceTestRig({.startMs = 10000,
                           .camera = test::RigCamera::SimulatedSky,
                           .link = test::RigLink::SimulatedMount,
                           .clock = &simClock,
                           .pump = &socketPump}),
          server(rig.context(), host(), ServerOptions{true, 0, QStringLiteral("127.0.0.1"), false})
    {
        guiding.Axes = pictureAxes(settings.PixPerSec);
    }
    GuiderHost host()
    {
        GuiderHost h;
        h.markStar = [this](double x, double y) { sequence.onPictureMouseDown(x, y, true); };
        return h;
    }
    GuiderServer server;
};

Figures requestRoundTrip(BenchRig &r, std::vector<std::unique_ptr<GuiderClient>> &clients, int trips)
{
    std::vector<double> ms;
    for (int i = 0; i < trips; ++i) {
        GuiderClient &c = *clients[size_t(i) % clients.size()];
        const Steady::time_point t0 = Steady::now();
        const int id = c.send(QStringLiteral("get_app_state"));
        pumpUntil([&] { return c.reply(id).has_value(); });
        ms.push_back(msSince(t0));
        c.received.clear();
    }
    (void)r;
    return figuresOf(ms);
}

// Wall time from each guide step to its GuideStep event at every client, over
// `simulatedMs` of guiding; and the resident memory at its start and end.
struct GuideRun {
    Figures latency;
    long startKiB = 0, minuteKiB = 0, endKiB = 0;
    int steps = 0;
};

class StepClock : public GuideObserver {
public:
    void guideStep(const GuideStep &) override { at.push_back(Steady::now()); }
    void guideEvent(GuideEvent, uint32_t, const QString &) override {}
    std::vector<Steady::time_point> at;
};

GuideRun guideFor(BenchRig &r, std::vector<std::unique_ptr<GuiderClient>> &clients, uint32_t simulatedMs)
{
    GuideRun run;
    StepClock steps;
    r.server.mode().addGuideObserver(&steps);
    std::vector<double> latency;
    for (auto &c : clients) {
        c->received.clear();
        c->onLine = [&latency, &steps, client = c.get()](const QJsonObject &o) {
            if (o.value("Event").toString() == QLatin1String("GuideStep")) {
                const size_t frame = size_t(o.value("Frame").toInt());
                if (frame >= 1 && frame <= steps.at.size())
                    latency.push_back(msSince(steps.at[frame - 1]));
            }
            client->received.clear(); // read and dropped as they come: memory stays the server's
        };
    }
    GuiderClient &lead = *clients.front();
    bool asked = false;
    lead.onLine = [&, previous = lead.onLine](const QJsonObject &o) {
        previous(o);
        if (!asked && o.value("Event").toString() == QLatin1String("LoopingExposures") && o.value("Frame").toInt() >= 1) {
            asked = true;
            lead.send(QStringLiteral("find_star"));
            lead.send(QStringLiteral("guide"),
                      QJsonObject{{"settle", QJsonObject{{"pixels", 1.5}, {"time", 2}, {"timeout", 60}}}});
            const uint32_t begun = r.simClock.now();
            run.startKiB = residentKiB();
            r.socketPump.at(begun + 60000, [&] { run.minuteKiB = residentKiB(); });
            r.socketPump.at(begun + simulatedMs, [&] { r.server.mode().stop(); });
        }
    };
    lead.send(QStringLiteral("set_exposure"), QJsonObject{{"exposure", 1000}});
    lead.send(QStringLiteral("loop"));
    pumpUntil([&] { return asked && !r.server.mode().active(); }, 1000000);
    run.endKiB = residentKiB();
    run.steps = int(steps.at.size());
    run.latency = figuresOf(latency);
    r.server.mode().removeGuideObserver(&steps);
    for (auto &c : clients)
        c->onLine = nullptr;
    return run;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    constexpr int kTrips = 2000;
    const Figures echo = echoRoundTrip(kTrips);

    BenchRig r;
    if (!r.server.start()) {
        std::fprintf(stderr, "the server does not listen\n");
        return 1;
    }
    std::vector<std::unique_ptr<GuiderClient>> clients;
    clients.push_back(std::make_unique<GuiderClient>(r.server.port()));
    pumpUntil([&] { return r.server.clientCount() == 1 && !clients[0]->events("AppState").empty(); });
    const Figures one = requestRoundTrip(r, clients, kTrips);
    const GuideRun guidedOne = guideFor(r, clients, 60000);
    while (clients.size() < 8)
        clients.push_back(std::make_unique<GuiderClient>(r.server.port()));
    pumpUntil([&] { return r.server.clientCount() == 8; });
    const Figures eight = requestRoundTrip(r, clients, kTrips);
    const GuideRun guidedEight = guideFor(r, clients, 600000);

    std::printf("echo round trip: mean %.3f ms, worst %.3f ms\n", echo.meanMs, echo.worstMs);
    std::printf("get_app_state, 1 client: mean %.3f ms, worst %.3f ms\n", one.meanMs, one.worstMs);
    std::printf("get_app_state, 8 clients: mean %.3f ms, worst %.3f ms\n", eight.meanMs, eight.worstMs);
    std::printf("guide step to GuideStep, 1 client: mean %.3f ms, worst %.3f ms (%d steps)\n", guidedOne.latency.meanMs,
                guidedOne.latency.worstMs, guidedOne.steps);
    std::printf("guide step to GuideStep, 8 clients: mean %.3f ms, worst %.3f ms (%d steps)\n",
                guidedEight.latency.meanMs, guidedEight.latency.worstMs, guidedEight.steps);
    std::printf("RSS with 8 clients: start %ld KiB, 1 min %ld KiB, 10 min %ld KiB\n", guidedEight.startKiB,
                guidedEight.minuteKiB, guidedEight.endKiB);

    const std::string echoText = bench::format("TCP echo %.3f ms mean, %.3f ms worst", echo.meanMs, echo.worstMs);
    bench::tableRow("guider server: get_app_state round trip, 1 client",
                    bench::format("%.3f ms mean, %.3f ms worst", one.meanMs, one.worstMs), echoText, "under 5 ms");
    bench::tableRow("guider server: get_app_state round trip, 8 clients",
                    bench::format("%.3f ms mean, %.3f ms worst", eight.meanMs, eight.worstMs), echoText, "under 5 ms");
    bench::tableRow("guider server: guide step to GuideStep event, 1 client",
                    bench::format("%.3f ms mean, %.3f ms worst (%d steps)", guidedOne.latency.meanMs,
                                  guidedOne.latency.worstMs, guidedOne.steps),
                    echoText, "under 5 ms");
    bench::tableRow("guider server: guide step to GuideStep event at each of 8 clients",
                    bench::format("%.3f ms mean, %.3f ms worst (%d steps)", guidedEight.latency.meanMs,
                                  guidedEight.latency.worstMs, guidedEight.steps),
                    echoText, "under 5 ms");
    bench::tableRow("guider server: RSS with 8 clients, 10 simulated minutes guiding: start / 1 min / 10 min",
                    bench::format("%ld / %ld / %ld KiB", guidedEight.startKiB, guidedEight.minuteKiB, guidedEight.endKiB),
                    "-", "flat after the first minute");
    return 0;
}
