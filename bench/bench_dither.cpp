// What dithering costs a night: one hour of 60 s frames (60 x 60 s, guide
// 2 s, centroid way, calibrated, the default settle settings) rehearsed with
// dithering on and, as the baseline, off, on the same seeded sky; then the same
// on a sky with twice the default seeing (a seeing disc and a seeing motion
// twice as wide). Printed: the time from each dither to the settled star (mean
// and worst), the share of the night spent settling, how much longer the night
// is than without dithering, and the mean FWHM of the saved frames against the
// same frames without dithering. Goals: the night grows by at most 5% on the
// default sky (10% with twice the seeing), every dither settles within the
// timeout, and the frames' FWHM stays within 3% of the undithered frames'.

#include "bench_row.h"
#include "hour_plan.h"
#include "rehearsal_findings.h"
#include "rig_builder.h"

#include <QApplication>

#include <algorithm>
#include <cstdio>

using namespace orvane;

namespace {

RehearsalPlan hourPlan(bool dither, double seeingTimes)
{
    RehearsalPlan plan = bench::oneHourPlan();
    plan.guiding.chooseAlgorithm(QStringLiteral("centroid"));
    plan.guiding.Options.algorithm = QStringLiteral("centroid");
    plan.guiding.Options.dither = dither;
    // The simulated mount's own axes, as a calibration of it finds them (the picture's axes at its rate).
    plan.guiding.Axes = pictureAxes(plan.mount.guideRatePxPerSec);
    plan.camera.sensor.psfSigmaPx *= seeingTimes;
    plan.camera.sensor.jitterPx *= seeingTimes;
    return plan;
}

struct Night {
    double lengthS = 0;      // simulated seconds from Start to the end
    double meanFwhmPx = 0;   // of the saved frames
    RehearsalFindings findings;
    std::vector<SettleSpan> settles;
};

Night rehearseHour(bool dither, double seeingTimes)
{
    const RehearsalPlan plan = hourPlan(dither, seeingTimes);
    RehearsalProgress progress;
    const RehearsalRun run = rehearse(plan, progress);
    Night night;
    night.lengthS = run.simulatedMs / 1000.0;
    int seen = 0;
    for (const RehearsedFrame &frame : run.frames)
        if (frame.starSeen) {
            night.meanFwhmPx += frame.fwhmPx;
            ++seen;
        }
    night.meanFwhmPx /= std::max(seen, 1);
    night.findings = findingsOf(plan, run);
    night.settles = run.settles;
    return night;
}

void report(const char *sky, double seeingTimes, double growthGoal)
{
    const Night plain = rehearseHour(false, seeingTimes);
    const Night dithered = rehearseHour(true, seeingTimes);
    double meanS = 0, worstS = 0;
    int settled = 0;
    for (const SettleSpan &span : dithered.settles) {
        meanS += span.seconds() / double(dithered.settles.size());
        worstS = std::max(worstS, span.seconds());
        settled += span.settled ? 1 : 0;
    }
    const double growth = dithered.lengthS / plain.lengthS - 1;
    const double fwhmRatio = dithered.meanFwhmPx / plain.meanFwhmPx;
    std::printf("%s: one hour (60 x 60 s, guide 2 s, centroid, settle within 1.5 px for 2 s)\n", sky);
    std::printf("  night without dithering   %7.0f s, mean FWHM %.2f px (baseline)\n", plain.lengthS, plain.meanFwhmPx);
    std::printf("  night with dithering      %7.0f s, mean FWHM %.2f px; grows %.1f%%\n", dithered.lengthS,
                dithered.meanFwhmPx, growth * 100);
    std::printf("  settling: %d of %zu dithers settled, mean %.2f s, worst %.2f s, %.1f%% of the night\n", settled,
                dithered.settles.size(), meanS, worstS, dithered.findings.settlingShare * 100);
    using bench::format;
    bench::tableRow(format("dither to settled, %s (60 x 60 s, guide 2 s, centroid, defaults)", sky),
                    format("mean %.2f s, worst %.2f s, %d of %zu settled", meanS, worstS, settled,
                           dithered.settles.size()),
                    "-", "every dither settled within the 60 s timeout");
    bench::tableRow(format("one-hour night with dithering, %s: growth", sky),
                    format("%.1f%% longer (%.1f%% of it settling)", growth * 100, dithered.findings.settlingShare * 100),
                    format("no dithering %.0f s", plain.lengthS),
                    format("at most %.0f%% longer than without dithering", growthGoal * 100));
    bench::tableRow(format("mean FWHM of saved frames with dithering, %s", sky), format("%.3f of undithered", fwhmRatio),
                    format("undithered %.2f px", plain.meanFwhmPx), "within 3% of the undithered frames");
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    report("default sky", 1.0, 0.05);
    report("twice the seeing", 2.0, 0.10);
    return 0;
}
