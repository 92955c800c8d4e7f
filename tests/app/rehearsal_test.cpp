// Rehearsals of a night on their own simulated rig: each mistake in the
// settings gives its own warning and no other, good settings none.
#include "guiding_assistant.h"
#include "rehearsal_findings.h"
#include "rig_builder.h"

#include <gtest/gtest.h>

#include <cstdio>

using namespace orvane;

namespace {

// Three guided 60 s exposures, guide steps every 2 s, on the default sky and mount.
RehearsalPlan goodPlan()
{
    RehearsalPlan plan;
    plan.settings = test::simulatedRigSettings();
    plan.exposure = "60";
    plan.guide = "2";
    plan.frameCount = "3";
    plan.fileStem = "Image";
    plan.guidingTicked = true;
    return plan;
}

struct Rehearsed {
    RehearsalRun run;
    RehearsalFindings findings;
};

Rehearsed rehearsed(const RehearsalPlan &plan)
{
    RehearsalProgress progress;
    Rehearsed r{rehearse(plan, progress), {}};
    r.findings = findingsOf(plan, r.run);
    return r;
}

TEST(Rehearsal, EachMistakeGivesItsWarningAndNoOther)
{
    struct Case {
        const char *what;
        std::function<void(RehearsalPlan &)> change;
        QString warning; // the one warning expected, its start; empty: none
    };
    const Case cases[] = {
        {"good settings", [](RehearsalPlan &) {}, {}},
        {"swapped east and west",
         [](RehearsalPlan &p) { std::swap(p.settings.DirLeft, p.settings.DirRight); },
         "corrections push the star further on x: DirLeft/DirRight look swapped"},
        {"swapped north and south",
         [](RehearsalPlan &p) { std::swap(p.settings.DirUp, p.settings.DirDown); },
         "corrections push the star further on y: DirUp/DirDown look swapped"},
        {"a mount that takes n for s",
         [](RehearsalPlan &p) { p.mount.swapNS = true; },
         "corrections push the star further on y: DirUp/DirDown look swapped"},
        {"doubled PixPerSec", [](RehearsalPlan &p) { p.settings.PixPerSec = 10; },
         "PixPerSec is about twice the mount's guide rate: moves fall short"},
        {"halved PixPerSec", [](RehearsalPlan &p) { p.mount.guideRatePxPerSec = 10; },
         "PixPerSec is about half the mount's guide rate: moves overshoot"},
        {"guide interval too long for the drift",
         [](RehearsalPlan &p) {
             p.guide = "40";
             p.exposure = "120";
             p.sky.driftXPxPerMin = 40;
         },
         "the guide interval is too long for the drift: the star leaves the box"},
        {"guide interval as long as the exposure",
         [](RehearsalPlan &p) {
             p.guide = "60";
             p.frameCount = "2";
         },
         "the guide interval is not shorter than the exposure: no correction falls inside a frame"},
        {"clouds every minute",
         [](RehearsalPlan &p) {
             p.sky.cloudStartS = 30;
             p.sky.cloudLengthS = 10;
             p.sky.cloudEveryS = 60;
         },
         "star lost in "},
        {"dithering with the defaults, calibrated",
         [](RehearsalPlan &p) {
             p.guiding.Options.dither = true;
             p.guiding.chooseAlgorithm("centroid");
             p.guiding.Options.algorithm = "centroid";
             p.guiding.Axes = pictureAxes(p.mount.guideRatePxPerSec);
         },
         {}},
        {"dithering with a long settle time",
         [](RehearsalPlan &p) {
             p.guiding.Options.dither = true;
             p.guiding.Options.settleTimeS = 20;
         },
         "settling after dithers takes "},
        {"unguided",
         [](RehearsalPlan &p) {
             p.guidingTicked = false;
             p.frameCount = "1";
         },
         "the exposure is longer than the star stays round without guiding"},
    };
    for (const Case &c : cases) {
        RehearsalPlan plan = goodPlan();
        c.change(plan);
        const Rehearsed r = rehearsed(plan);
        const QStringList &warnings = r.findings.warnings;
        EXPECT_TRUE(r.run.refusals.isEmpty()) << c.what;
        EXPECT_EQ(int(r.run.frames.size()), int(plan.frameCount.toInt())) << c.what;
        if (c.warning.isEmpty()) {
            EXPECT_TRUE(warnings.isEmpty()) << c.what << ": " << warnings.join("; ").toStdString();
            EXPECT_TRUE(r.findings.spoiled.empty()) << c.what;
            continue;
        }
        ASSERT_EQ(warnings.size(), 1) << c.what << ": " << warnings.join("; ").toStdString();
        EXPECT_TRUE(warnings.front().startsWith(c.warning)) << c.what << ": " << warnings.front().toStdString();
    }
}

// The guiding assistant's advice for the night it measured (here the sky's own
// figures, which its watch reads within a few per cent) guides at least as
// well as the defaults, both on the centroid way after a calibration.
TEST(Rehearsal, TheAssistantsAdviceGuidesAtLeastAsWellAsTheDefaults)
{
    RehearsalPlan defaults = goodPlan();
    defaults.frameCount = "5";
    defaults.guiding.chooseAlgorithm("centroid");
    defaults.guiding.Options.algorithm = "centroid";
    defaults.guiding.Axes = pictureAxes(defaults.mount.guideRatePxPerSec);

    NightFigures night;
    night.jitterXPx = night.jitterYPx = defaults.camera.sensor.jitterPx;
    night.driftXPxPerMin = defaults.sky.driftXPxPerMin;
    night.driftYPxPerMin = defaults.sky.driftYPxPerMin;
    night.periodicErrorPx = defaults.sky.periodicErrorPx;
    night.periodicErrorPeriodS = defaults.sky.periodicErrorPeriodS;
    night.samples = 300;
    const GuideAdvice advice = adviseGuiding(night);
    RehearsalPlan advised = defaults;
    advised.guide = QString::number(advice.guideExposureS);
    advised.guiding.Options.minMovePx = advice.minMovePx;
    advised.guiding.Options.aggressiveness = advice.aggressiveness;

    const Rehearsed byDefault = rehearsed(defaults), byAdvice = rehearsed(advised);
    ASSERT_GT(byDefault.findings.guiding.steps(), 50);
    ASSERT_GT(byAdvice.findings.guiding.steps(), 20);
    const double defaultPx = byDefault.findings.guiding.rmsTotalPx(), advisedPx = byAdvice.findings.guiding.rmsTotalPx();
    std::printf("guided RMS: defaults %.3f px (guide 2 s), advice %.3f px (guide %g s, min move %.2f px, "
                "aggressiveness %.2f)\n",
                defaultPx, advisedPx, advice.guideExposureS, advice.minMovePx, advice.aggressiveness);
    EXPECT_LE(advisedPx, defaultPx * 1.05); // the run's own scatter
    EXPECT_TRUE(byAdvice.findings.warnings.isEmpty()) << byAdvice.findings.warnings.join("; ").toStdString();
}

// The quick way renders guide frames only where the guide step reads them: on
// the hard night, with several stars, the prediction, Dec backlash and
// dithering moving the lock, every step and frame comes out as with whole frames.
TEST(Rehearsal, GuideFramesRenderedInWindowsGiveTheWholeFramesFindings)
{
    RehearsalPlan plan = goodPlan();
    plan.sky = SkyMotion::hardNight();
    plan.mount = SimMountOptions::hardNight();
    plan.camera = SimCameraOptions::hardNight();
    plan.guiding.chooseAlgorithm("centroid");
    GuidingSettings &o = plan.guiding.Options;
    o.algorithm = "centroid";
    o.guideStars = 5;
    o.predict = o.decBacklash = o.dither = true;
    plan.guiding.Axes = pictureAxes(plan.mount.guideRatePxPerSec);
    RehearsalPlan whole = plan;
    whole.wholeGuideFrames = true;

    const Rehearsed quick = rehearsed(plan), slow = rehearsed(whole);
    ASSERT_GT(slow.run.steps.size(), 60u);
    ASSERT_EQ(quick.run.steps.size(), slow.run.steps.size());
    ASSERT_GE(slow.run.settles.size(), 2u);
    int severalStars = 0;
    for (size_t i = 0; i < slow.run.steps.size(); ++i) {
        const GuideStep &a = quick.run.steps[i], &b = slow.run.steps[i];
        severalStars += b.stars > 1;
        EXPECT_TRUE(a.timeMs == b.timeMs && a.dxPx == b.dxPx && a.dyPx == b.dyPx && a.snr == b.snr &&
                    a.direction == b.direction && a.moveXMs == b.moveXMs && a.moveYMs == b.moveYMs &&
                    a.stars == b.stars && a.starPeak == b.starPeak)
            << "step " << i << ": " << a.dxPx << ", " << a.dyPx << " against " << b.dxPx << ", " << b.dyPx;
    }
    EXPECT_GT(severalStars, 30);
    ASSERT_EQ(quick.run.frames.size(), slow.run.frames.size());
    for (size_t i = 0; i < slow.run.frames.size(); ++i)
        EXPECT_EQ(quick.run.frames[i].fwhmPx, slow.run.frames[i].fwhmPx) << "frame " << i + 1;
    EXPECT_EQ(quick.findings.warnings, slow.findings.warnings);
}

} // namespace
