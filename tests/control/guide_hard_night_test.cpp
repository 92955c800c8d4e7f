// The centroid way on a hard night, step by step on the simulated mount (pulses,
// so the mount times each move; every byte recorded on the way): the learned periodic error, and the Dec modes.
// The guide frames hold one star where the simulated sky puts it, with seeing.

#include "rig_builder.h"
#include "star_field.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace orvane;

namespace {

constexpr QPointF kStar{300.3, 200.6}; // pixels, where the star stands while the sky offset is (0, 0)
constexpr uint32_t kStepMs = 2000;

struct GuidedNight {
    explicit GuidedNight(SkyMotion sky, GuidingSettings options)
        : rig({.linkOpen = true, .sky = sky})
    {
        rig.opener.onWrite = [this](const QByteArray &bytes) { rig.mount.receive(bytes); }; // recorded, then carried out
        rig.settings.GuideBoxSize = 40;
        options.algorithm = QStringLiteral("centroid");
        options.pulse = true;
        rig.guiding.Options = options;
        rig.guiding.chooseAlgorithm(options.algorithm);
        show();
        rig.state.StarX = int16_t(std::lround(truth().x()));
        rig.state.StarY = int16_t(std::lround(truth().y()));
        rig.rig.lockOnMark();
    }
    QPointF truth() { return kStar + rig.sky.offsetAt(rig.clock.now()); }
    QPointF lock() const { return {rig.state.StarX + rig.guiding.LockDX, rig.state.StarY + rig.guiding.LockDY}; }
    // A guide frame: the star (FWHM 2.6 px) where the sky has it, moved by 0.2 px of seeing.
    void show()
    {
        const QPointF at = truth() + 0.2 * QPointF(seeing.gaussian(), seeing.gaussian());
        QImage frame(640, 480, QImage::Format_RGB32);
        frame.fill(qRgb(10, 10, 10));
        for (int y = int(at.y()) - 7; y <= int(at.y()) + 7; ++y)
            for (int x = int(at.x()) - 7; x <= int(at.x()) + 7; ++x) {
                const double d2 = (x - at.x()) * (x - at.x()) + (y - at.y()) * (y - at.y());
                const int grey = 10 + int(std::lround(150 * std::exp(-d2 / (2 * 1.1 * 1.1))));
                if (x >= 0 && y >= 0 && x < 640 && y < 480)
                    frame.setPixel(x, y, qRgb(grey, grey, grey));
            }
        rig.picture.setPicture(frame);
    }
    // One guide step, then the clock on to the next; returns the star's distance from the lock before it.
    QPointF step()
    {
        const QPointF error = truth() - lock();
        show();
        rig.rig.MeasureGuideStar();
        rig.rig.StartGuideMove();
        rig.clock.advance(kStepMs);
        return error;
    }
    test::TestRig rig;
    SplitMix seeing{7};
};

// The RMS distance of the star from the lock over `periods` worm turns, after `skipPeriods`.
double rmsOver(GuidedNight &night, double skipPeriods, double periods, double periodS)
{
    const int skip = int(skipPeriods * periodS * 1000 / kStepMs), count = int(periods * periodS * 1000 / kStepMs);
    for (int i = 0; i < skip; ++i)
        night.step();
    double sum = 0;
    for (int i = 0; i < count; ++i) {
        const QPointF e = night.step();
        sum += e.x() * e.x() + e.y() * e.y();
    }
    return std::sqrt(sum / count);
}

TEST(GuideHardNight, TheLearnedPeriodicErrorReachesItsGoalWithinTwoPeriods)
{
    SkyMotion sky; // the default drift, the hard night's periodic error
    sky.periodicErrorPx = 3;
    sky.periodicError2Px = 0.75;
    GuidingSettings plain, predicting;
    predicting.predict = true;
    SkyMotion steady = sky; // the goal: guiding as if the mount had no periodic error
    steady.periodicErrorPx = steady.periodicError2Px = 0;
    GuidedNight without(sky, plain), with(sky, predicting), goal(steady, plain);
    // The third turn of the worm: learned during the first two.
    const double rmsWithout = rmsOver(without, 2, 1, sky.periodicErrorPeriodS);
    const double rmsWith = rmsOver(with, 2, 1, sky.periodicErrorPeriodS);
    const double rmsGoal = rmsOver(goal, 2, 1, sky.periodicErrorPeriodS);
    EXPECT_LT(rmsWith, 1.1 * rmsGoal) << rmsWith << " px against " << rmsGoal << " px without periodic error";
    EXPECT_LT(rmsWith, 0.9 * rmsWithout) << rmsWith << " px against " << rmsWithout << " px unpredicted";
    EXPECT_TRUE(with.rig.guiding.Predictor.ready());

    // A new mark learns anew (it may follow a slew).
    with.rig.rig.lockOnMark();
    EXPECT_FALSE(with.rig.guiding.Predictor.ready());
}

TEST(GuideHardNight, DecModesNeverSendTheRefusedLetter)
{
    SkyMotion sky;
    sky.driftYPxPerMin = 0;
    sky.wanderPxPerRootS = 0.3; // Dec asked both ways
    struct Mode {
        const char *name;
        bool north, south; // the letters it may send
    };
    for (const Mode mode : {Mode{"auto", true, true}, Mode{"north", true, false}, Mode{"south", false, true},
                            Mode{"off", false, false}}) {
        GuidingSettings options;
        options.decMode = QLatin1String(mode.name);
        GuidedNight night(sky, options);
        for (int i = 0; i < 150; ++i)
            night.step();
        const QByteArray sent = night.rig.opener.sent();
        EXPECT_EQ(sent.contains(":Mgn"), mode.north) << mode.name;
        EXPECT_EQ(sent.contains(":Mgs"), mode.south) << mode.name;
        EXPECT_TRUE(sent.contains(":Mge") || sent.contains(":Mgw")) << mode.name; // RA guides as ever
    }
}

} // namespace
