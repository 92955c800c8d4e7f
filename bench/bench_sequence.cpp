// A real-time guided exposure on the simulated rig: the Start/Stop sequence on
// the real clock and Qt's event loop, the simulated mount and camera, guiding
// every second. Printed: process CPU time beside the same run with a pump that
// polls instead of sleeping (the baseline), the exposure length error, the
// lateness of the guide steps, and the guided RMS error from the simulator's truth.
// Goals: CPU under 3% of the busy-polling run; exposure and step timing within 2 ms.

#include "app/sequence_fixture.h"
#include "bench_row.h"

#include <QApplication>
#include <QTimer>

#include <time.h>

#include <cmath>
#include <cstdio>
#include <vector>

using namespace orvane;

namespace {

constexpr int32_t kExposureMs = 20000; // the exposure measured
constexpr int32_t kGuideMs = 1000;     // guide interval

double cpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

// The baseline: every wait polls the clock and the event loop without sleeping.
class BusyPump : public EventPump {
public:
    explicit BusyPump(Clock &clock) : clock_(clock) {}
    void processEvents() override { QCoreApplication::processEvents(); }
    void processEventsOrSleep(uint32_t) override { processEvents(); }
    void processEventsOrWait() override { processEvents(); }
    void sleepWithoutEvents(uint32_t untilMs) override
    {
        while (!reached(clock_.now(), untilMs)) {
        }
    }

private:
    Clock &clock_;
};

struct Figures {
    double cpuS = 0;
    double wallS = 0;
    int64_t exposureErrorMs = 0;
    int64_t worstStepLateMs = 0;
    double meanStepLateMs = 0;
    double rmsPx = 0;
};

Figures runOnce(bool busy)
{
    SteadyClock clock;
    QtEventPump sleeping(clock);
    BusyPump polling(clock);
    EventPump &pump = busy ? static_cast<EventPump &>(polling) : sleeping;
    test::SequenceTestRig parts({.camera = test::RigCamera::SimulatedSky,
                                 .link = test::RigLink::SimulatedMount,
                                 .clock = &clock,
                                 .pump = &pump}); // the sky drifts about 10 pixels a minute
    const Settings &settings = parts.settings;
    parts.settings.ImageDelay = 50;
    parts.settings.AmpDelay = 20;
    const SequenceState &state = parts.state;
    const SimSky &sky = parts.sky;
    const SimCamera *simCamera = parts.simCamera;
    const CameraLines &port = parts.port;
    ImagingSequence &sequence = parts.sequence;
    PlainSequencePanel &panel = parts.panel;
    panel.controls.guiding = true;
    panel.exposure = QString::number(kExposureMs / 1000);
    panel.guide = QString::number(kGuideMs / 1000);

    // The user: clicks the guide star when asked; the truth is sampled every 100 ms.
    QPointF mark;
    std::vector<double> errors;
    QTimer user;
    user.setInterval(100);
    QObject::connect(&user, &QTimer::timeout, [&] {
        const QPointF star = simCamera->starField().guideStar() + sky.offsetAt(clock.now());
        if (state.StarMarked == 0 && panel.status() == "Mark Star") {
            mark = QPointF(std::round(star.x()), std::round(star.y()));
            sequence.onPictureMouseDown(mark.x(), mark.y());
        } else if (state.StarMarked && panel.status().startsWith("Image")) {
            const QPointF d = star - mark;
            errors.push_back(std::hypot(d.x(), d.y()));
        }
    });
    user.start();

    const double cpu0 = cpuSeconds();
    const uint32_t wall0 = clock.now();
    sequence.onCommand1Click();
    Figures f;
    f.cpuS = cpuSeconds() - cpu0;
    f.wallS = elapsedMs(wall0, clock.now()) / 1000.0;

    // From the port writes: the exposure runs from the last ExposureState before
    // the frame loop to the amp-on byte; guide steps are the guide bytes after it.
    const auto &w = port.writes();
    size_t ampOn = 0;
    for (size_t i = 0; i < w.size(); ++i)
        if (w[i].value == settings.AmpOnState)
            ampOn = i;
    size_t start = 0;
    for (size_t i = 0; i < ampOn; ++i)
        if (w[i].value == settings.GetImageState)
            start = i + 1; // the ExposureState after the star mark
    const uint32_t t1 = w[start].atMs;
    f.exposureErrorMs = int64_t(elapsedMs(t1, w[ampOn].atMs)) - kExposureMs;
    int k = 0;
    double lateSum = 0;
    for (size_t i = start; i < ampOn; ++i)
        if (w[i].value == settings.GetGuideState) {
            ++k;
            const int64_t late = int64_t(elapsedMs(t1, w[i].atMs)) - (int64_t(k) * kGuideMs + 1);
            f.worstStepLateMs = std::max(f.worstStepLateMs, late);
            lateSum += double(late);
        }
    f.meanStepLateMs = k ? lateSum / k : 0;
    double sq = 0;
    for (double e : errors)
        sq += e * e;
    f.rmsPx = errors.empty() ? 0 : std::sqrt(sq / double(errors.size()));
    return f;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const Figures sleeping = runOnce(false);
    const Figures polling = runOnce(true);
    std::printf("guided 20 s exposure, guide 1 s, real time, simulated rig\n");
    std::printf("  CPU time, sleeping pump      %8.3f s of %.1f s (%.2f%% of the polling run)\n", sleeping.cpuS,
                sleeping.wallS, 100.0 * sleeping.cpuS / polling.cpuS);
    std::printf("  CPU time, busy polling       %8.3f s of %.1f s (baseline)\n", polling.cpuS, polling.wallS);
    std::printf("  exposure length error        %8lld ms (polling: %lld ms)\n", (long long)sleeping.exposureErrorMs,
                (long long)polling.exposureErrorMs);
    std::printf("  guide step lateness          %8.2f ms mean, %lld ms worst (polling: %.2f / %lld ms)\n",
                sleeping.meanStepLateMs, (long long)sleeping.worstStepLateMs, polling.meanStepLateMs,
                (long long)polling.worstStepLateMs);
    std::printf("  guided RMS error             %8.2f px (polling: %.2f px), sky drift 10 px/min\n", sleeping.rmsPx,
                polling.rmsPx);

    using bench::format;
    bench::tableRow("guided 20 s exposure, CPU", format("%.3f s (%.2f%%)", sleeping.cpuS, 100.0 * sleeping.cpuS / polling.cpuS),
                    format("busy polling %.3f s", polling.cpuS), "under 3% of busy polling");
    bench::tableRow("exposure length error", format("%lld ms", (long long)sleeping.exposureErrorMs),
                    format("busy polling %lld ms", (long long)polling.exposureErrorMs), "within 2 ms");
    bench::tableRow("guide step lateness, worst", format("%lld ms", (long long)sleeping.worstStepLateMs),
                    format("busy polling %lld ms", (long long)polling.worstStepLateMs), "within 2 ms");
    bench::tableRow("guided RMS error (sky drift 10 px/min)", format("%.2f px", sleeping.rmsPx),
                    format("busy polling %.2f px", polling.rmsPx), "-");
    return 0;
}
