#include "rehearsal_findings.h"

#include "move_decision.h"
#include "numbers.h"

#include <cmath>
#include <numbers>

namespace orvane {

namespace {

constexpr double kPushedFurtherPx = 0.5; // a correction that leaves the star this much farther pushed it
constexpr int kLeastCorrections = 3;     // corrections on an axis before its letters are judged
constexpr double kRateOffBy = 1.5;       // PixPerSec this many times off the mount's rate is told

double secondsOf(const QString &text)
{
    try {
        return numericValue(text);
    } catch (const ConversionError &) {
        return 0;
    }
}

// True when the corrections on one axis mostly left the star farther from its
// mark at the next step: the two letters of that axis move the mount the wrong way.
bool pushedFurther(const std::vector<GuideStep> &steps, bool xAxis)
{
    int corrections = 0, pushed = 0;
    for (size_t i = 0; i + 1 < steps.size(); ++i) {
        const GuideStep &now = steps[i], &next = steps[i + 1];
        if (!now.starFound || !next.starFound || (xAxis ? now.dirX : now.dirY) == 0)
            continue;
        ++corrections;
        const double before = std::fabs(xAxis ? now.dxPx : now.dyPx), after = std::fabs(xAxis ? next.dxPx : next.dyPx);
        pushed += after > before + kPushedFurtherPx;
    }
    return corrections >= kLeastCorrections && 2 * pushed > corrections;
}

// How much PixPerSec exceeds the rate in words: "twice", "half", "3.0 times".
QString ratioWords(double ratio)
{
    if (std::fabs(ratio - 2) < 0.3)
        return QStringLiteral("twice");
    if (std::fabs(ratio - 0.5) < 0.08)
        return QStringLiteral("half");
    return QStringLiteral("%1 times").arg(ratio, 0, 'f', 1);
}

// Pixels the star can wander between two guide steps without guiding: the
// drift and the fastest swing of the periodic error over one interval.
double wanderPerStepPx(const SkyMotion &sky, double guideS)
{
    const double driftPxPerS = std::hypot(sky.driftXPxPerMin, sky.driftYPxPerMin) / 60;
    const double swingPxPerS =
        sky.periodicErrorPeriodS > 0
            ? 2 * std::numbers::pi * (std::fabs(sky.periodicErrorPx) + 2 * std::fabs(sky.periodicError2Px)) /
                  sky.periodicErrorPeriodS
            : 0;
    return (driftPxPerS + swingPxPerS) * guideS;
}

} // namespace

RehearsalFindings findingsOf(const RehearsalPlan &plan, const RehearsalRun &run)
{
    RehearsalFindings f;
    int lostInClear = 0; // steps without the star while no cloud hid it
    for (const GuideStep &step : run.steps) {
        f.guiding.add(step);
        if (!step.starFound && !cloudedAt(plan.sky, (step.timeMs - kRehearsalStartMs) / 1000.0))
            ++lostInClear;
    }
    const double seeingPx = plan.camera.sensor.psfSigmaPx * 2.3548200450309493;
    for (const RehearsedFrame &frame : run.frames) {
        const QString why = !frame.starSeen                    ? QStringLiteral("no star")
                            : frame.roundness < kLeastRoundness ? QStringLiteral("trailed")
                            : frame.fwhmPx > kMostBlur * seeingPx ? QStringLiteral("blurred")
                                                                  : QString();
        if (!why.isEmpty()) {
            f.spoiled.push_back(frame.number);
            f.spoiledWhy.append(why);
        }
    }

    for (const SettleSpan &span : run.settles) {
        f.settlingS += span.seconds();
        f.settleFailures += span.settled ? 0 : 1;
    }
    f.settlingShare = run.simulatedMs > 0 ? f.settlingS * 1000.0 / run.simulatedMs : 0;
    const GuidingSettings &o = plan.guiding.Options;
    if (f.settlingShare > kMostSettlingShare)
        f.warnings.append(QStringLiteral("settling after dithers takes %1% of the night: widen [guiding] settlePx "
                                         "(now %2 px), shorten settleTimeS (now %3 s) or dither less far (ditherPx, now %4 px)")
                              .arg(f.settlingShare * 100, 0, 'f', 0)
                              .arg(o.settlePx)
                              .arg(o.settleTimeS)
                              .arg(o.ditherPx * o.ditherScale));
    if (f.settleFailures > 0)
        f.warnings.append(QStringLiteral("the star did not settle after %1 of %2 dithers within settleTimeoutS (%3 s)")
                              .arg(f.settleFailures)
                              .arg(run.settles.size())
                              .arg(o.settleTimeoutS));

    const Settings &s = plan.settings;
    const bool swappedX = pushedFurther(run.steps, true), swappedY = pushedFurther(run.steps, false);
    if (swappedX)
        f.warnings.append(QStringLiteral("corrections push the star further on x: DirLeft/DirRight look swapped"));
    if (swappedY)
        f.warnings.append(QStringLiteral("corrections push the star further on y: DirUp/DirDown look swapped"));
    if (plan.guidingTicked && plan.mount.guideRatePxPerSec > 0 && s.PixPerSec > 0) {
        // The move timer counts a correction down at PixPerSec: a rate above the
        // mount's ends moves early, one below it lets them run on.
        const double ratio = s.PixPerSec / plan.mount.guideRatePxPerSec;
        if (ratio >= kRateOffBy)
            f.warnings.append(QStringLiteral("PixPerSec is about %1 the mount's guide rate: moves fall short")
                                  .arg(ratioWords(ratio)));
        else if (ratio <= 1 / kRateOffBy)
            f.warnings.append(QStringLiteral("PixPerSec is about %1 the mount's guide rate: moves overshoot")
                                  .arg(ratioWords(ratio)));
    }
    bool lossExplained = swappedX || swappedY;
    const double guideS = secondsOf(plan.guide);
    if (plan.guidingTicked && guideS > 0 && guideS >= secondsOf(plan.exposure)) {
        f.warnings.append(QStringLiteral("the guide interval is not shorter than the exposure: no correction falls inside a frame"));
        return f; // whatever else went wrong follows from it
    }
    if (lostInClear > 0 && !lossExplained && wanderPerStepPx(plan.sky, guideS) >= s.GuideBoxSize / 2.0 - kMoveThresholdPx) {
        f.warnings.append(QStringLiteral("the guide interval is too long for the drift: the star leaves the box"));
        lossExplained = true;
    }
    if (f.guiding.lostSteps() > 0 && !lossExplained)
        f.warnings.append(QStringLiteral("star lost in %1 steps").arg(f.guiding.lostSteps()));
    if (!plan.guidingTicked && std::find(f.spoiledWhy.begin(), f.spoiledWhy.end(), QStringLiteral("trailed")) != f.spoiledWhy.end())
        f.warnings.append(QStringLiteral("the exposure is longer than the star stays round without guiding"));
    return f;
}

} // namespace orvane
