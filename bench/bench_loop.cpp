// The Loop command in real time on the simulated rig: 1 s frames one after
// another for 30 s of wall time, a guide star marked so every frame is measured.
// Printed: the share of one core it takes, beside an idle run measured in the
// same process (one unguided 30 s exposure, where the program only waits), and
// the peak resident memory before the loop, after its first frames and at its end.
// Goals: CPU within a few times the idle run's and under 5% of a core; memory flat.

#include "app/sequence_fixture.h"
#include "bench_row.h"
#include "frame_loop.h"

#include <QApplication>
#include <QFile>
#include <QTimer>

#include <time.h>

#include <cstdio>

using namespace orvane;

namespace {

constexpr int kWallMs = 30000; // each measurement's length

double cpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

// Peak resident set size of this process so far, KiB (VmHWM).
long peakResidentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').front().toLong();
    return 0;
}

struct Share {
    double cpuS = 0;
    double wallS = 0;
    double percent() const { return wallS > 0 ? 100.0 * cpuS / wallS : 0; }
};

template <typename Work>
Share measure(SteadyClock &clock, Work work)
{
    const double cpu0 = cpuSeconds();
    const uint32_t wall0 = clock.now();
    work();
    return {cpuSeconds() - cpu0, elapsedMs(wall0, clock.now()) / 1000.0};
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    SteadyClock clock;
    QtEventPump pump(clock);

    // The idle run: one unguided exposure as long as the loop runs.
    test::SequenceTestRig idleParts({.camera = test::RigCamera::SimulatedSky, .clock = &clock, .pump = &pump});
    idleParts.panel.exposure = QString::number(kWallMs / 1000);
    const Share idle = measure(clock, [&] { idleParts.sequence.onCommand1Click(); });

    test::SequenceTestRig parts({.camera = test::RigCamera::SimulatedSky, .clock = &clock, .pump = &pump});
    parts.panel.exposure = QStringLiteral("1");
    const QPointF star = parts.simCamera->starField().guideStar();
    parts.state.StarX = int16_t(std::lround(star.x()));
    parts.state.StarY = int16_t(std::lround(star.y()));
    parts.state.StarMarked = 1;
    FrameLoop loop(parts.rig, parts.panel);
    QString lastProfile;
    long residentWarm = 0; // after the first frames have made their buffers
    loop.showStarProfile = [&](const QString &text) {
        lastProfile = text;
        if (loop.frames() == 2)
            residentWarm = peakResidentKiB();
    };
    QTimer::singleShot(kWallMs, [&] { loop.requestStop(); });
    const long residentBefore = peakResidentKiB();
    const Share looping = measure(clock, [&] { loop.onLoopCommand(); });
    const long residentAfter = peakResidentKiB();

    std::printf("Loop, 1 s frames, real time, simulated rig\n");
    std::printf("  CPU while looping      %6.3f s of %.1f s (%.2f%% of a core), %d frames, last: %s\n", looping.cpuS,
                looping.wallS, looping.percent(), loop.frames(), qPrintable(lastProfile));
    std::printf("  CPU of an idle run     %6.3f s of %.1f s (%.2f%% of a core)\n", idle.cpuS, idle.wallS,
                idle.percent());
    std::printf("  peak resident memory   %ld KiB before the loop, %ld KiB after 2 frames, %ld KiB after %d\n",
                residentBefore, residentWarm, residentAfter, loop.frames());

    using bench::format;
    bench::tableRow("CPU while looping 1 s frames", format("%.2f%% of a core (%d frames)", looping.percent(), loop.frames()),
                    format("idle run %.2f%%", idle.percent()), "under 5% of a core, absolute (idle run beside it)");
    bench::tableRow("peak RSS while looping: start / 2 frames / 30 s",
                    format("%ld / %ld / %ld KiB", residentBefore, residentWarm, residentAfter), "-",
                    "flat after the first frame, against the start figure");
    return 0;
}
