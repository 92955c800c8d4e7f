// Calibration on the simulated rig: the mount's letters, rates and angle as the
// simulated mount really has them are found, the applied result guides, and
// every failure leaves the settings, orvane.cfg and orvane.ini as they were.
#include "calibration.h"
#include "calibration_apply.h"
#include "config_file.h"
#include "dither.h"
#include "sequence_fixture.h"
#include "test_support.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

using namespace orvane;

namespace {

// A guide algorithm that, by its name, corrects both axes at once.
const GuideAlgorithm &kTwoAxis = *findGuideAlgorithm("centroid"); // corrects both axes at once

struct CalibrationRig : test::SequenceTestRig {
    explicit CalibrationRig(SimMountOptions mountOptions = {}, SkyMotion skyMotion = {},
                            test::RigLink link = test::RigLink::SimulatedMount)
        : SequenceTestRig({.startMs = 10000, .camera = test::RigCamera::SimulatedSky, .link = link, .sky = skyMotion,
                           .mount = mountOptions})
    {
        settings.CommPort = 0;
        state.SaveDir = dir.path();
        EXPECT_TRUE(test::writeAll(cfg(), formatConfig(settings, QDate(2024, 3, 9))));
        EXPECT_TRUE(test::writeAll(ini(), "[window]\nguideS=1\n"));
        // The user clicks the guide star on a live frame.
        EXPECT_TRUE(rig.TakeFrame());
        const QPointF star = simCamera->starField().guideStar() + sky.offsetAt(clock.now());
        sequence.onPictureMouseDown(std::round(star.x()), std::round(star.y()));
        EXPECT_EQ(state.StarMarked, 1);
    }
    QString cfg() const { return dir.filePath("orvane.cfg"); }
    QString ini() const { return dir.filePath("orvane.ini"); }
    bool mountStill() const
    {
        return !mount.moving('n') && !mount.moving('s') && !mount.moving('e') && !mount.moving('w');
    }
    // The guide star's distance from the mark on its worse axis, pixels.
    double starError()
    {
        const QPointF d = simCamera->starField().guideStar() + sky.offsetAt(clock.now()) -
                          QPointF(state.StarX, state.StarY);
        return std::max(std::fabs(d.x()), std::fabs(d.y()));
    }

    QTemporaryDir dir;
    Calibration calibration{rig};
};

double angleBetween(double a, double b) { return std::fabs(std::remainder(a - b, 360.0)); }

struct Case {
    const char *name;
    SimMountOptions mount;
    bool boxGuides; // the box algorithm can guide these axes
    DirectionTexts letters; // up, down, left, right
    double xRate, yRate, xAngleDeg, cameraAngleDeg;
};

SimMountOptions with(auto change)
{
    SimMountOptions o;
    change(o);
    return o;
}

const Case kCases[] = {
    {"default rig", {}, true, {"n", "s", "e", "w"}, 5, 5, 0, 0},
    {"camera turned 90", with([](auto &o) { o.cameraAngleDeg = 90; }), true, {"w", "e", "n", "s"}, 5, 5, 0, 90},
    {"camera turned 33", with([](auto &o) { o.cameraAngleDeg = 33; }), false, {"n", "s", "e", "w"}, 5, 5, 33, 33},
    {"mirrored", with([](auto &o) { o.mirrored = true; }), true, {"s", "n", "e", "w"}, 5, 5, 0, 0},
    {"n and s swapped", with([](auto &o) { o.swapNS = true; }), true, {"s", "n", "e", "w"}, 5, 5, 0, 0},
    {"RA half the Dec rate", with([](auto &o) { o.raRatePxPerSec = 2.5; }), true, {"n", "s", "e", "w"}, 2.5, 5, 0, 0},
};

struct Guided {
    double worstPx = 0;      // the star's worst distance from the mark on one axis
    double wanderRmsPx = 0;  // RMS of the star's place about its mean place
};

// A guided 120 s frame once guiding has settled, the star marked when asked.
Guided guide(CalibrationRig &rig, const GuideAlgorithm &algorithm)
{
    rig.guiding.Algorithm = &algorithm;
    rig.panel.controls.guiding = true;
    rig.panel.guide = "1";
    rig.panel.exposure = "120";
    const auto star = [&] { return rig.simCamera->starField().guideStar() + rig.sky.offsetAt(rig.clock.now()); };
    std::function<void()> markWhenAsked = [&] {
        if (rig.panel.status() == "Mark Star")
            rig.sequence.onPictureMouseDown(std::round(star().x()), std::round(star().y()));
        else
            rig.pump.at(rig.clock.now() + 100, markWhenAsked);
    };
    rig.pump.at(rig.clock.now() + 100, markWhenAsked);
    Guided g;
    QPointF sum;
    double squares = 0;
    int n = 0;
    std::function<void()> sample = [&] {
        if (rig.state.SequenceRunning == 1 && rig.state.StarMarked == 1 && rig.state.FrameNumber >= 1 &&
            rig.panel.status() != "Mark Star") {
            g.worstPx = std::max(g.worstPx, rig.starError());
            const QPointF p = star();
            sum += p;
            squares += p.x() * p.x() + p.y() * p.y();
            ++n;
        }
        if (rig.state.SequenceRunning == 1)
            rig.pump.at(rig.clock.now() + 1000, sample);
    };
    rig.pump.at(rig.clock.now() + 30000, sample); // once guiding has settled
    rig.sequence.onCommand1Click();
    if (n > 0) {
        const QPointF mean = sum / n;
        g.wanderRmsPx = std::sqrt(std::max(0.0, squares / n - mean.x() * mean.x() - mean.y() * mean.y()));
    }
    return g;
}

// A dither's known move of `shiftPx` on the calibrated rig: how far the star
// really went, and whether a Dec letter moved the mount meanwhile.
QPointF knownMove(CalibrationRig &rig, QPointF shiftPx, bool &decMoved)
{
    rig.panel.controls.guiding = true;
    EXPECT_TRUE(rig.comm.setPortOpen(true));
    const auto star = [&] { return rig.simCamera->starField().guideStar() + rig.sky.offsetAt(rig.clock.now()); };
    const QPointF before = star();
    const uint32_t t0 = rig.clock.now();
    const int32_t ms = rig.rig.StartKnownMove(shiftPx);
    EXPECT_GT(ms, 0);
    while (int64_t(elapsedMs(t0, rig.clock.now())) < ms + 300) {
        rig.pump.processEventsOrSleep(rig.clock.now() + 10);
        rig.rig.ServiceGuideMoves();
        decMoved = decMoved || rig.mount.moving('n') || rig.mount.moving('s');
    }
    EXPECT_TRUE(rig.mountStill());
    (void)rig.comm.setPortOpen(false);
    rig.panel.controls.guiding = false;
    return star() - before;
}

} // namespace

TEST(Calibration, FindsTheLettersRatesAndAngleAndTheAppliedResultGuides)
{
    for (const Case &c : kCases) {
        SCOPED_TRACE(c.name);
        CalibrationRig rig(c.mount);
        if (!c.boxGuides)
            rig.guiding.Algorithm = &kTwoAxis;
        const CalibrationRun run = rig.calibration.run({});
        ASSERT_TRUE(run.ok()) << run.failure.toStdString();
        const CalibrationSolution &s = run.solution;
        EXPECT_EQ(s.letters.up, c.letters.up);
        EXPECT_EQ(s.letters.down, c.letters.down);
        EXPECT_EQ(s.letters.left, c.letters.left);
        EXPECT_EQ(s.letters.right, c.letters.right);
        EXPECT_NEAR(s.record.xRatePxPerSec, c.xRate, 0.05 * c.xRate);
        EXPECT_NEAR(s.record.yRatePxPerSec, c.yRate, 0.05 * c.yRate);
        EXPECT_LT(angleBetween(s.record.xAngleDeg, c.xAngleDeg), 3.0); // one axis alone: the seeing counts more
        EXPECT_LT(angleBetween(s.cameraAngleDeg, c.cameraAngleDeg), 2.0);
        EXPECT_TRUE(rig.mountStill());
        EXPECT_FALSE(rig.comm.PortOpen());

        // Applied, the result guides: the letters and mean rate on the box
        // algorithm where it can, the calibrated axes on the centroid way always.
        ASSERT_TRUE(applyCalibration(rig.settings, rig.cfg(), rig.ini(), s, "2024-03-09T21:00:00Z"));
        EXPECT_EQ(LoadConfig(rig.cfg()).DirRight, c.letters.right);
        rig.guiding.Axes = readCalibration(rig.ini());
        ASSERT_TRUE(rig.guiding.Axes);

        // A dither's shift, sent as one move per axis, carries the star there;
        // in RA only, no Dec letter moves the mount.
        bool decMoved = false;
        const QPointF went = knownMove(rig, {3, -2}, decMoved);
        EXPECT_LT(std::hypot(went.x() - 3, went.y() + 2), 0.4) << went.x() << ", " << went.y();
        decMoved = false;
        const QPointF ra = raAxisOnPicture(rig.guiding.Axes, rig.settings);
        const QPointF wentRa = knownMove(rig, 4 * ra, decMoved);
        EXPECT_FALSE(decMoved);
        EXPECT_LT(std::hypot(wentRa.x() - 4 * ra.x(), wentRa.y() - 4 * ra.y()), 0.4) << wentRa.x() << ", " << wentRa.y();
        if (c.boxGuides) {
            const Guided box = guide(rig, kGuideAlgorithms[0]);
            EXPECT_LT(box.worstPx, 4.0);
            EXPECT_GT(box.worstPx, 0.0);
        }
        const Guided centroid = guide(rig, kTwoAxis);
        EXPECT_LT(centroid.wanderRmsPx, 0.3);
        EXPECT_GT(centroid.wanderRmsPx, 0.0);
    }
}

TEST(Calibration, EachFailureSaysWhatHappenedAndChangesNothing)
{
    const struct {
        const char *name;
        SimMountOptions mount;
        SkyMotion sky;
        test::RigLink link;
        const char *says;
    } cases[] = {
        {"star lost", {}, {.cloudStartS = 8, .cloudLengthS = 600}, test::RigLink::SimulatedMount,
         "The guide star was lost at "},
        {"mount ignores guiding", {.guideRatePxPerSec = 0}, {}, test::RigLink::SimulatedMount,
         "The star did not move when the mount was sent w and e"},
        {"no mount answers", {}, {}, test::RigLink::Recording, "No mount answered on comm port 0"},
        {"RA far slower", with([](auto &o) { o.raRatePxPerSec = 1; }), {}, test::RigLink::SimulatedMount,
         "The RA axis (w, e) moves the star "},
        {"camera turned 33 on the box algorithm", {.cameraAngleDeg = 33}, {}, test::RigLink::SimulatedMount,
         "degrees anticlockwise, then calibrate again"},
        {"axes 25 degrees from square", with([](auto &o) { o.decSkewDeg = 25; }), {}, test::RigLink::SimulatedMount,
         "The mount's two axes move the star 2"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        CalibrationRig rig(c.mount, c.sky, c.link);
        const Settings settingsBefore = rig.settings;
        const QByteArray cfgBefore = test::readAll(rig.cfg()), iniBefore = test::readAll(rig.ini());
        const CalibrationRun run = rig.calibration.run({});
        EXPECT_FALSE(run.ok());
        EXPECT_TRUE(run.failure.contains(QLatin1String(c.says))) << run.failure.toStdString();
        EXPECT_EQ(rig.settings, settingsBefore);
        EXPECT_EQ(test::readAll(rig.cfg()), cfgBefore);
        EXPECT_EQ(test::readAll(rig.ini()), iniBefore);
        EXPECT_TRUE(rig.mountStill());
        EXPECT_FALSE(rig.comm.PortOpen());
    }
}

TEST(Calibration, StopMidWayStopsTheMountAndLogsTheSteps)
{
    CalibrationRig rig;
    QStringList log;
    rig.calibration.writeLog = [&](const QStringList &lines) { log += lines; };
    rig.pump.at(rig.clock.now() + 7500, [&] { rig.calibration.requestStop(); });
    const CalibrationRun run = rig.calibration.run({});
    EXPECT_TRUE(run.stopped);
    EXPECT_FALSE(run.ok());
    EXPECT_TRUE(rig.mountStill());
    EXPECT_EQ(rig.port.writes().back().value, rig.settings.GetImageState); // camera lines at rest
    ASSERT_GE(log.size(), 5);
    EXPECT_TRUE(log[0].startsWith("Calibration Begins at "));
    EXPECT_EQ(log[2], "Direction,Step,dx,dy,x,y,Dist");
    EXPECT_TRUE(log[3].startsWith("West,1,")) << log[3].toStdString();
    EXPECT_EQ(log.last(), "");
    EXPECT_EQ(log[log.size() - 2], "Calibration failed: Calibration was stopped.");
}
