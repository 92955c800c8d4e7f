// What an INDI server adds, through a local indiserver with the telescope and
// CCD simulators: the round trip of a 100 ms timed guide pulse (sent until the
// driver reports it done, less the 100 ms) beside the round trip of a property
// change that moves nothing; and the overhead of a 1 s exposure read out by the
// INDI camera (request to picture, less 1 s) beside the driver's own share
// (request to the frame's arrival, less 1 s). Goals: under 20 ms added to the
// pulse, under 200 ms added to the exposure. Then moves through a relay that
// delays each way by 0, 150 and 300 ms: the time each move was commanded On,
// as the relay saw it, against its planned length (mean and worst difference);
// goal: within 50 ms.

#include "bench_row.h"
#include "indi/indi_delay_relay.h"
#include "indi/indi_test_server.h"
#include "indi_camera.h"
#include "indi_mount.h"
#include "fits_file.h"

#include <QElapsedTimer>

#include <QCoreApplication>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

using namespace orvane;
using namespace orvane::test;

namespace {

const QString kScope = QStringLiteral("Telescope Simulator");
const QString kCcd = QStringLiteral("CCD Simulator");
constexpr int kPulses = 7;
constexpr int kExposures = 3;
constexpr int kPollMs = 10; // the simulators' polling period while measuring, ms

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// Ms from `send` until the property leaves Busy after having been Busy (or comes back Ok).
double roundTripMs(SteadyClock &clock, QtEventPump &pump, IndiSession &s, const QString &name,
                   const std::function<void()> &send)
{
    bool busy = false, done = false;
    const auto c = QObject::connect(&s, &IndiSession::propertyChanged, [&](const QString &, const QString &changed) {
        if (changed != name)
            return;
        const IndiState state = s.property(kScope, name)->state;
        busy = busy || state == IndiState::Busy;
        // A pulse is done when it leaves Busy; a plain change when its answer comes.
        done = state != IndiState::Busy && (busy || name != QStringLiteral("TELESCOPE_TIMED_GUIDE_NS"));
    });
    const uint32_t t0 = clock.now();
    send();
    waitUntil(clock, pump, 5000, [&] { return done; });
    QObject::disconnect(c);
    return double(elapsedMs(t0, clock.now()));
}

// Moves of planned lengths through a relay delaying `delayMs` each way; the
// commanded On time less the planned, ms, per move.
std::vector<double> commandedLessPlanned(SteadyClock &clock, QtEventPump &pump, quint16 serverPort, int delayMs)
{
    constexpr int32_t kPlannedMs[] = {150, 400, 250, 600, 300};
    DelayRelay relay(serverPort, delayMs);
    IndiMounts mounts{IndiWait{clock, pump}};
    SerialOpening opened = mounts.open(QStringLiteral("indi://127.0.0.1:%1/%2").arg(relay.port()).arg(kScope));
    std::vector<double> out;
    if (!opened.ok())
        return out;
    SerialConnection &link = *opened.value();
    for (const int32_t ms : kPlannedMs) {
        const uint32_t start = clock.now();
        (void)link.write(":RG#:Mn#");
        waitUntil(clock, pump, uint32_t(ms), [&] { return reached(clock.now(), start + uint32_t(ms)); });
        (void)link.write(":Qn#:Qs#:Qe#:Qw#");
        waitUntil(clock, pump, uint32_t(2 * delayMs + 100), [] { return false; });
    }
    const std::vector<OnSpan> spans = relay.spans(QStringLiteral("NS"));
    for (size_t i = 0; i < spans.size() && i < std::size(kPlannedMs); ++i)
        out.push_back(spans[i].stopped() ? double(spans[i].lengthMs() - kPlannedMs[i]) : 1e9);
    return out;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    IndiTestServer server({QStringLiteral("indi_simulator_telescope"), QStringLiteral("indi_simulator_ccd")});
    if (!server.start()) {
        std::fprintf(stderr, "bench_indi: indiserver did not start (is indi-bin installed?)\n");
        return 1;
    }
    SteadyClock clock;
    QtEventPump pump{clock};

    IndiMounts mounts{IndiWait{clock, pump}};
    const SerialOpening opened = mounts.open(server.url(kScope));
    if (!opened.ok()) {
        std::fprintf(stderr, "bench_indi: %s\n", qPrintable(opened.error()));
        return 1;
    }
    std::shared_ptr<IndiMount> mount = mounts.mount(server.url(kScope));
    IndiSession &s = *mount->session();
    s.sendSwitch(kScope, QStringLiteral("TELESCOPE_PARK"), QStringLiteral("UNPARK"));
    // The simulators look at their timers every 250 ms (mount) and 1000 ms (camera) by
    // default; at 10 ms their own granularity hardly counts in what is measured here.
    s.sendNumbers(kScope, QStringLiteral("POLLING_PERIOD"), {{QStringLiteral("PERIOD_MS"), double(kPollMs)}});
    waitUntil(clock, pump, 2000, [&] {
        const IndiProperty *p = s.property(kScope, QStringLiteral("POLLING_PERIOD"));
        return p && p->numbers.value(QStringLiteral("PERIOD_MS")) == kPollMs;
    });
    for (const int delayMs : {0, 150, 300}) {
        const std::vector<double> diff = commandedLessPlanned(clock, pump, server.port(), delayMs);
        double sum = 0, worst = 0;
        for (const double d : diff) {
            sum += std::fabs(d);
            worst = std::max(worst, std::fabs(d));
        }
        const double mean = diff.empty() ? 1e9 : sum / double(diff.size());
        std::printf("moves at %d ms link delay: commanded less planned, mean %.1f ms, worst %.1f ms (%zu moves)\n", delayMs,
                    mean, worst, diff.size());
        bench::tableRow(bench::format("INDI: move commanded vs planned, %d ms link delay", delayMs).c_str(),
                        bench::format("mean %.0f ms, worst %.0f ms", mean, worst), "seen at the relay", "< 50 ms");
    }

    std::vector<double> pulse, plain;
    for (int i = 0; i < kPulses; ++i) {
        pulse.push_back(roundTripMs(clock, pump, s, QStringLiteral("TELESCOPE_TIMED_GUIDE_NS"),
                                    [&] { mount->pulse(i % 2 ? 's' : 'n', 100); }) - 100.0);
        plain.push_back(roundTripMs(clock, pump, s, QStringLiteral("TELESCOPE_TRACK_MODE"), [&] {
            s.sendSwitch(kScope, QStringLiteral("TELESCOPE_TRACK_MODE"), QStringLiteral("TRACK_SIDEREAL"));
        }));
    }

    SimClock portClock;
    CameraLines port{portClock};
    Settings settings;
    settings.ExposureState = 3;
    settings.GetImageState = 0;
    port.InitializeWinIo();
    IndiCamera camera(server.address(), kCcd, clock, pump, port, settings);
    if (Result connected = camera.connect(); !connected) {
        std::fprintf(stderr, "bench_indi: %s\n", qPrintable(connected.error()));
        return 1;
    }
    camera.setSequencing(true);
    camera.session()->sendNumbers(kCcd, QStringLiteral("POLLING_PERIOD"), {{QStringLiteral("PERIOD_MS"), double(kPollMs)}});
    waitUntil(clock, pump, 2000, [&] {
        const IndiProperty *p = camera.session()->property(kCcd, QStringLiteral("POLLING_PERIOD"));
        return p && p->numbers.value(QStringLiteral("PERIOD_MS")) == kPollMs;
    });
    std::vector<double> overhead, driver;
    for (int i = 0; i < kExposures; ++i) {
        port.SetPortVal(0x378, settings.ExposureState, 1);
        portClock.advance(1000);
        port.SetPortVal(0x378, settings.GetImageState, 1);
        uint32_t arrived = 0;
        const auto c = QObject::connect(camera.session(), &IndiSession::blobArrived, [&] { arrived = clock.now(); });
        const uint32_t t0 = clock.now();
        const bool got = camera.copyFrame().has_value();
        QObject::disconnect(c);
        if (!got) {
            std::fprintf(stderr, "bench_indi: no frame came\n");
            return 1;
        }
        overhead.push_back(double(elapsedMs(t0, clock.now())) - 1000.0);
        driver.push_back(double(elapsedMs(t0, arrived)) - 1000.0);
    }
    // Orvane's own share after the frame came: FITS decoding, display scaling, fitting into 640 x 480.
    QElapsedTimer decoding;
    decoding.start();
    const ResultOf<FitsImage> fits = decodeFits(camera.session()->property(kCcd, QStringLiteral("CCD1"))->blob);
    const double decodeMs = double(decoding.nsecsElapsed()) / 1e6;
    const QImage shown = fitsDisplayImage(fits.value());
    const double displayMs = double(decoding.nsecsElapsed()) / 1e6 - decodeMs;
    (void)shown.scaled(640, 480, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    const double ownMs = double(decoding.nsecsElapsed()) / 1e6;
    std::printf("after the frame came: decode %.1f ms, display levels %.1f ms, all with scaling %.1f ms\n", decodeMs,
                displayMs, ownMs);

    std::printf("100 ms pulse: added %.1f ms (median of %d); plain property round trip %.1f ms\n", median(pulse),
                kPulses, median(plain));
    std::printf("1 s exposure: overhead %.1f ms (median of %d); the driver's own share %.1f ms; frame %dx%d\n",
                median(overhead), kExposures, median(driver), camera.fullFrame().width(), camera.fullFrame().height());
    bench::tableRow("INDI: 100 ms guide pulse, added latency", bench::format("%.0f ms", median(pulse)),
                    bench::format("%.0f ms (property round trip)", median(plain)), "< 20 ms over the property round trip");
    bench::tableRow("INDI: 1 s exposure, overhead", bench::format("%.0f ms", median(overhead)),
                    bench::format("%.0f ms (driver's share)", median(driver)), "< 200 ms over the driver's share");
    return 0;
}
