// A one-hour night rehearsed: 60 guided exposures of 60 s, a guide step every
// 2 s, on the rehearsal's own simulated rig and clock, every frame saved to a
// temporary folder and measured. Printed: the wall time and the process's
// peak memory, beside the same hour run first by the bare sequence on the test
// rig's simulated clock without saving or measuring (the baseline), and the
// peak memory of the process before the rehearsal. Goals: at most 30 s and 200 MB.

#include "app/sequence_fixture.h"
#include "bench_row.h"
#include "hour_plan.h"
#include "rehearsal_findings.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>

#include <cmath>
#include <cstdio>

using namespace orvane;

namespace {

// Peak resident set size of this process so far, KiB (VmHWM).
long peakResidentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').front().toLong();
    return -1;
}

// The same hour through the sequence alone, on the test rig: no frame saved or measured.
double bareSequenceSeconds()
{
    test::SequenceTestRig rig({.camera = test::RigCamera::SimulatedSky, .link = test::RigLink::SimulatedMount});
    rig.panel.controls.guiding = true;
    rig.panel.exposure = QStringLiteral("60");
    rig.panel.guide = QStringLiteral("2");
    rig.panel.frameCount = QStringLiteral("60");
    std::function<void()> user = [&] {
        if (rig.panel.status() == QStringLiteral("Mark Star")) {
            const QPointF star = rig.simCamera->starField().guideStar() + rig.sky.offsetAt(rig.clock.now());
            rig.sequence.onPictureMouseDown(std::round(star.x()), std::round(star.y()));
        }
        if (rig.state.StarMarked == 0)
            rig.pump.at(rig.clock.now() + 100, user);
    };
    rig.pump.at(rig.clock.now() + 100, user);
    QElapsedTimer wall;
    wall.start();
    rig.sequence.onCommand1Click();
    return double(wall.nsecsElapsed()) / 1e9;
}

struct Timed {
    RehearsalRun run;
    RehearsalFindings findings;
    double wallS = 0;
};

Timed timedRehearsal(const RehearsalPlan &plan)
{
    RehearsalProgress progress;
    QElapsedTimer wall;
    wall.start();
    Timed t;
    t.run = rehearse(plan, progress);
    t.findings = findingsOf(plan, t.run);
    t.wallS = double(wall.nsecsElapsed()) / 1e9;
    return t;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const double bareS = bareSequenceSeconds(); // first: a second run on a loaded machine tends to be the slower
    const long residentBefore = peakResidentKiB();
    const RehearsalPlan plan = bench::oneHourPlan();
    const Timed hour = timedRehearsal(plan);
    const long residentAfter = peakResidentKiB();

    std::printf("one-hour sequence rehearsed (60 x 60 s, guide 2 s), simulated %.0f s\n", hour.run.simulatedMs / 1000.0);
    std::printf("  wall time, rehearsal           %8.2f s (%zu frames, %d steps, RMS %.2f px)\n", hour.wallS,
                hour.run.frames.size(), hour.findings.guiding.steps(), hour.findings.guiding.rmsTotalPx());
    std::printf("  wall time, bare sequence       %8.2f s (baseline)\n", bareS);
    std::printf("  peak resident memory           %8ld KiB (bare sequence: %ld KiB)\n", residentAfter, residentBefore);
    bench::tableRow("one-hour sequence rehearsed (60 x 60 s, guide 2 s): wall time", bench::format("%.2f s", hour.wallS),
                    bench::format("bare sequence %.2f s", bareS), "at most 30 s of wall time for the simulated hour");
    bench::tableRow("one-hour sequence rehearsed: peak memory", bench::format("%.1f MB", residentAfter / 1024.0),
                    bench::format("bare sequence %.1f MB", residentBefore / 1024.0), "at most 200 MB, absolute (bare sequence beside it)");

    const Timed night = timedRehearsal(bench::tenHourHardPlan());
    const long residentNight = peakResidentKiB();
    std::printf("ten-hour hard night rehearsed (600 x 60 s, guide 2 s, every hard-night setting), simulated %.0f s\n",
                night.run.simulatedMs / 1000.0);
    std::printf("  wall time                      %8.2f s (%zu frames, %d steps, RMS %.2f px)\n", night.wallS,
                night.run.frames.size(), night.findings.guiding.steps(), night.findings.guiding.rmsTotalPx());
    std::printf("  peak resident memory           %8ld KiB\n", residentNight);
    bench::tableRow("ten-hour hard night rehearsed (600 x 60 s, guide 2 s, all hard-night settings): wall time",
                    bench::format("%.2f s", night.wallS), bench::format("one default hour %.2f s", hour.wallS),
                    "at most 10 s, absolute");
    bench::tableRow("ten-hour hard night rehearsed: peak memory", bench::format("%.1f MB", residentNight / 1024.0),
                    bench::format("bare sequence %.1f MB", residentBefore / 1024.0), "at most 200 MB, absolute");
    return 0;
}
