// The simulated camera: light gathered while the port holds the exposure byte,
// trails under drift, round stars when the sky is held, guide read-outs that
// leave the long exposure running, and the same frames on every run.

#include "sim_camera.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <algorithm>
#include <cmath>

namespace orvane::test {
namespace {

constexpr uint16_t kAddress = 888;

// Light of the guide star in a window around where it should be.
struct StarImage {
    double flux = 0;          // summed ADU above background
    double cx = 0, cy = 0;    // centroid, pixels
    double varX = 0, varY = 0; // second moments, pixels squared
    int peak = 0;             // brightest pixel, ADU
};

StarImage measure(const QImage &frame, QPointF around, int halfWidth)
{
    std::vector<int> values;
    for (int y = 0; y < frame.height(); y += 7)
        for (int x = 0; x < frame.width(); x += 7)
            values.push_back(qRed(frame.pixel(x, y)));
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    const double background = values[values.size() / 2] + 4.0; // above the noise
    StarImage s;
    double sx = 0, sy = 0, sxx = 0, syy = 0;
    const int x0 = int(around.x()), y0 = int(around.y());
    for (int y = y0 - halfWidth; y <= y0 + halfWidth; ++y)
        for (int x = x0 - halfWidth; x <= x0 + halfWidth; ++x) {
            if (x < 0 || y < 0 || x >= frame.width() || y >= frame.height())
                continue;
            const int v = qRed(frame.pixel(x, y));
            s.peak = std::max(s.peak, v);
            const double w = std::max(0.0, v - background);
            s.flux += w;
            sx += w * x;
            sy += w * y;
            sxx += w * x * x;
            syy += w * y * y;
        }
    if (s.flux > 0) {
        s.cx = sx / s.flux;
        s.cy = sy / s.flux;
        s.varX = sxx / s.flux - s.cx * s.cx;
        s.varY = syy / s.flux - s.cy * s.cy;
    }
    return s;
}

SkyMotion stillSky()
{
    SkyMotion m;
    m.driftXPxPerMin = 0;
    m.driftYPxPerMin = 0;
    m.periodicErrorPx = 0;
    return m;
}

// A camera on the recording port, with the usual four state bytes.
struct Bench {
    explicit Bench(SkyMotion motion = stillSky(), SimCameraOptions options = {})
        : sky(0, motion), camera(clock, port, settings(), sky, options)
    {
        EXPECT_TRUE(camera.connect().ok());
        camera.setSequencing(true);
    }
    static const Settings &settings()
    {
        static const Settings s = [] {
            Settings s;
            s.ExposureState = 3;
            s.GetImageState = 0;
            s.GetGuideState = 2;
            s.AmpOnState = 1;
            return s;
        }();
        return s;
    }

    void write(uint8_t value) { (void)port.SetPortVal(kAddress, value, 1); }
    void expose(uint32_t ms)
    {
        write(settings().ExposureState);
        clock.advance(ms);
    }
    QImage imageReadout()
    {
        write(settings().AmpOnState);
        clock.advance(100);
        write(settings().GetImageState);
        clock.advance(250);
        write(settings().ExposureState);
        return *camera.copyFrame();
    }
    QImage guideReadout()
    {
        write(settings().GetGuideState);
        clock.advance(250);
        write(settings().ExposureState);
        return *camera.copyFrame();
    }
    QPointF guideStarAt(uint32_t ms) const { return camera.starField().guideStar() + sky.offsetAt(ms); }

    SimClock clock{0};
    CameraLines port{clock};
    SimSky sky;
    SimCamera camera;
};

TEST(SimCamera, ALongExposureGathersMoreLightWithoutSaturatingTheGuideStar)
{
    Bench shortRun, longRun;
    shortRun.expose(2000);
    const StarImage dim = measure(shortRun.imageReadout(), shortRun.guideStarAt(0), 8);
    longRun.expose(60000);
    const QImage frame = longRun.imageReadout();
    const StarImage bright = measure(frame, longRun.guideStarAt(0), 8);
    EXPECT_GT(bright.flux, 15 * dim.flux);
    EXPECT_GE(bright.peak, 180); // a 60 s exposure's brightest star peaks high ...
    EXPECT_LE(bright.peak, 254); // ... but not flat at full scale
    EXPECT_EQ(frame.size(), QSize(640, 480));
    EXPECT_TRUE(frame.isGrayscale());
}

TEST(SimCamera, StarsTrailAlongTheDriftUnlessTheSkyIsHeld)
{
    SkyMotion drift = stillSky();
    drift.driftXPxPerMin = 12; // a 12-pixel trail in one minute
    Bench unguided(drift), held(drift);
    held.sky.setMountVelocity(-12.0 / 60.0, 0, 0); // the mount cancels the drift exactly

    unguided.expose(60000);
    const StarImage trail = measure(unguided.imageReadout(), unguided.guideStarAt(30000), 14);
    held.expose(60000);
    const StarImage round = measure(held.imageReadout(), held.guideStarAt(30000), 14);

    EXPECT_GT(trail.varX, 4 * trail.varY); // long in x, as narrow as a star in y
    EXPECT_NEAR(trail.varY, round.varY, 0.6);
    EXPECT_NEAR(round.varX, round.varY, 0.6);
    EXPECT_LT(round.varX, 3.0);
    // The trail is centred where the star stood half-way through.
    EXPECT_NEAR(trail.cx, unguided.guideStarAt(30000).x(), 0.7);
}

TEST(SimCamera, MountMotionDuringTheExposureShowsInTheTrail)
{
    Bench bench; // a still sky; the mount moves for the second half only
    bench.expose(30000);
    bench.sky.setMountVelocity(0, 0.4, bench.clock.now()); // 12 pixels in y over 30 s
    bench.clock.advance(30000);
    const StarImage s = measure(bench.imageReadout(), bench.guideStarAt(45000), 14);
    EXPECT_GT(s.varY, 4 * s.varX);
    // The light-weighted middle; the faint ends of the trail fall below the threshold.
    EXPECT_NEAR(s.cy, bench.camera.starField().guideStar().y() + 3.0, 1.0);
}

TEST(SimCamera, AGuideReadoutLeavesTheLongExposureRunning)
{
    Bench guided, plain;
    guided.expose(30000);
    const QImage guideFrame = guided.guideReadout();
    EXPECT_NEAR(guided.camera.gatheredSeconds(), 30.0, 1e-9); // the light stays in the sensor
    guided.clock.advance(30000);
    const StarImage withGuide = measure(guided.imageReadout(), guided.guideStarAt(0), 8);

    plain.expose(60000);
    const StarImage without = measure(plain.imageReadout(), plain.guideStarAt(0), 8);

    EXPECT_NEAR(withGuide.flux, without.flux, 0.05 * without.flux);
    // The guide frame itself is a short frame in which the guide star is plain to see.
    const StarImage guideStar = measure(guideFrame, guided.guideStarAt(0), 8);
    EXPECT_LT(guideStar.flux, 0.6 * without.flux);
    EXPECT_GT(guideStar.peak, 40);
    EXPECT_NEAR(guideStar.cx, guided.guideStarAt(0).x(), 0.6);
}

TEST(SimCamera, AnImageReadoutEmptiesTheSensor)
{
    Bench bench;
    bench.expose(60000);
    (void)bench.imageReadout();
    EXPECT_EQ(bench.camera.gatheredSeconds(), 0.0);
    // Straight away a second read-out: nothing gathered, a dark frame.
    bench.write(1);
    bench.write(0);
    bench.write(3);
    const StarImage dark = measure(*bench.camera.copyFrame(), bench.guideStarAt(0), 8);
    EXPECT_LT(dark.peak, 30);
}

TEST(SimCamera, TheSameRunGivesTheSameFramesAndEachFrameItsOwnNoise)
{
    SkyMotion drift; // the default drift and periodic error
    Bench a(drift), b(drift);
    for (Bench *bench : {&a, &b}) {
        bench->expose(5000);
        (void)bench->guideReadout();
        bench->clock.advance(20000);
    }
    EXPECT_EQ(a.imageReadout(), b.imageReadout());
    a.camera.setSequencing(false);
    const QImage first = *a.camera.copyFrame(), second = *a.camera.copyFrame();
    EXPECT_NE(first, second);
}

TEST(SimCamera, RepeatedCopiesOfOneReadoutGiveTheSameFrame)
{
    Bench bench;
    bench.expose(10000);
    const QImage first = bench.imageReadout();
    EXPECT_EQ(*bench.camera.copyFrame(), first);
    EXPECT_EQ(bench.camera.framesRendered(), 1u);
}

TEST(SimCamera, OutsideASequenceItIsALiveCameraOnTheSkyNow)
{
    SkyMotion drift = stillSky();
    drift.driftYPxPerMin = 10;
    Bench bench(drift);
    bench.camera.setSequencing(false);
    const StarImage now = measure(*bench.camera.copyFrame(), bench.guideStarAt(0), 8);
    bench.clock.advance(60000);
    const StarImage later = measure(*bench.camera.copyFrame(), bench.guideStarAt(60000), 8);
    EXPECT_NEAR(later.cy - now.cy, 10.0, 0.8);
    EXPECT_NEAR(later.cx - now.cx, 0.0, 0.8);
}

TEST(SimCamera, FollowsStateBytesChangedByTheOptions)
{
    Settings settings = Bench::settings();
    SimClock clock(0);
    CameraLines port(clock);
    SimSky sky(0, stillSky());
    SimCamera camera(clock, port, settings, sky);
    settings.ExposureState = 7; // changed after the camera was made
    (void)port.SetPortVal(kAddress, 7, 1);
    clock.advance(4000);
    EXPECT_NEAR(camera.gatheredSeconds(), 4.0, 1e-9);
    (void)port.SetPortVal(kAddress, 3, 1); // the old exposure byte means nothing now
    clock.advance(4000);
    EXPECT_NEAR(camera.gatheredSeconds(), 4.0, 1e-9);
}

TEST(SimCamera, GivesNoFrameWhenNotConnected)
{
    Bench bench;
    bench.camera.disconnect();
    EXPECT_FALSE(bench.camera.copyFrame().has_value());
    EXPECT_EQ(bench.camera.name(), QStringLiteral("Simulated camera"));
}

TEST(SimCamera, TheGuideStarIsBrightIsolatedAndNearTheCentre)
{
    const StarField field(1957, 60, 5);
    const QPointF g = field.guideStar();
    EXPECT_LT(std::hypot(g.x() - 320, g.y() - 240), 60);
    for (const Star &s : field.stars()) {
        if (s.x == g.x() && s.y == g.y())
            continue;
        EXPECT_LT(s.flux, 1.0);
        EXPECT_GE(std::hypot(s.x - g.x(), s.y - g.y()), 30);
    }
    for (const HotPixel &h : field.hotPixels())
        EXPECT_GE(std::hypot(h.x - g.x(), h.y - g.y()), 60);
    EXPECT_EQ(field.hotPixels().size(), 5u);
}

// Windows at the picture's edges and corners, overlapping, and one partly off
// it: inside them every pixel is the whole frame's, with the stars' own jitter,
// hot pixels and noise; outside, the bare background.
TEST(StarField, WindowsHoldTheWholeFramesPixelsToTheBit)
{
    const StarField field(1957, 60, 5);
    SensorModel sensor;
    sensor.psfSigmaPx = 1.6;
    const std::vector<SkySample> samples{{{3.2, -1.7}, 1.0}, {{3.9, -0.8}, 1.0, 0.6}};
    const OwnJitter own{0.25, 99};
    const std::vector<QRect> windows{{300, 200, 60, 50}, {330, 230, 40, 40}, {0, 0, 25, 20}, {610, 455, 60, 60},
                                     {QPoint(field.hotPixels()[0].x - 3, field.hotPixels()[0].y - 3), QSize(7, 7)}};
    const QImage whole = field.render(samples, 2.0, sensor, 4242, own);
    const QImage parts = field.renderWindows(windows, samples, 2.0, sensor, 4242, own);
    const QRgb bare = parts.pixel(200, 100);
    int inside = 0, differing = 0;
    for (int y = 0; y < whole.height(); ++y)
        for (int x = 0; x < whole.width(); ++x) {
            const bool wanted = std::any_of(windows.begin(), windows.end(), [&](const QRect &w) { return w.contains(x, y); });
            inside += wanted;
            differing += parts.pixel(x, y) != (wanted ? whole.pixel(x, y) : bare);
        }
    EXPECT_EQ(differing, 0);
    EXPECT_EQ(inside, 60 * 50 + (40 * 40 - 30 * 20) + 25 * 20 + 30 * 25 + 49); // the second overlaps the first
    EXPECT_EQ(qGray(bare), int(std::lround(sensor.biasAdu + 2.0 * sensor.darkAduPerSecond)));
}

TEST(SimSky, AnswersEarlierTimesAfterTheMountHasChangedSpeed)
{
    SimSky sky(4294960000u, SkyMotion{}); // the clock wraps during the run
    std::vector<std::pair<uint32_t, QPointF>> earlier;
    uint32_t t = 4294960000u;
    for (int i = 0; i < 6; ++i) {
        t += 1500;
        earlier.push_back({t - 700, sky.offsetAt(t - 700)});
        sky.setMountVelocity(i % 2 ? 0.0 : 5.0, i % 3 ? -5.0 : 0.0, t);
    }
    for (const auto &[at, offset] : earlier) {
        EXPECT_NEAR(sky.offsetAt(at).x(), offset.x(), 1e-9) << at;
        EXPECT_NEAR(sky.offsetAt(at).y(), offset.y(), 1e-9) << at;
    }
}

TEST(SimCameraOptions, ReadsTheCameraGroupAndNamesBadValues)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("orvane.ini"));
    EXPECT_TRUE(SimCameraOptions::fromIni(path).enabled); // no file: defaults
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[camera]\nenabled=false\nstars=12\nguideStarPeak60s=120\nseeingFwhmPx=4.7096\n"
                "readNoiseAdu=abc\nhotPixels=-3\n");
    }
    const SimCameraOptions o = SimCameraOptions::fromIni(path);
    EXPECT_FALSE(o.enabled);
    EXPECT_EQ(o.starsInFrame, 12);
    EXPECT_NEAR(o.guideStarPeakPer60s(), 120.0, 1e-9);
    EXPECT_NEAR(o.sensor.psfSigmaPx, 2.0, 1e-3);
    EXPECT_EQ(o.sensor.readNoiseAdu, SimCameraOptions().sensor.readNoiseAdu);
    EXPECT_EQ(o.hotPixels, SimCameraOptions().hotPixels);
    ASSERT_EQ(o.problems.size(), 2);
    for (const QString &problem : o.problems)
        EXPECT_TRUE(problem.startsWith(path)) << problem.toStdString();
    const QString all = o.problems.join(QLatin1Char('\n'));
    EXPECT_TRUE(all.contains(QStringLiteral(" line 6: [camera] readNoiseAdu: \"abc\" is not a number from 0 to 100; using 1.5.")));
    EXPECT_TRUE(all.contains(QStringLiteral(" line 7: [camera] hotPixels: \"-3\" is not a number from 0 to 1000; using 5.")));
}

} // namespace
} // namespace orvane::test
