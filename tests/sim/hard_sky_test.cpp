// The hard night's parts, each measured on its own against its setting: the
// periodic error's harmonic, the mount's wander, the gusts, changing seeing,
// seeing jitter partly shared between stars, and the preset that sets them all.

#include "centroid_measurement.h"
#include "sim_camera.h"
#include "sim_mount.h"
#include "star_profile.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <cmath>
#include <functional>

namespace orvane::test {
namespace {

SkyMotion stillSky()
{
    SkyMotion m;
    m.driftXPxPerMin = m.driftYPxPerMin = m.periodicErrorPx = 0;
    return m;
}

// One figure of the sky's motion (pixels, seconds) measured from offsetAt.
struct SkyPart {
    const char *name;
    std::function<void(SkyMotion &)> set;
    std::function<double(const SimSky &)> measure;
    double expected, tolerance;
};

QPointF at(const SimSky &sky, double seconds) { return sky.offsetAt(uint32_t(std::llround(seconds * 1000))); }

double rmsOfSteps(const SimSky &sky, double stepS, int count)
{
    double sum = 0;
    for (int i = 0; i < count; ++i) {
        const QPointF d = at(sky, (i + 1) * stepS) - at(sky, i * stepS);
        sum += (d.x() * d.x() + d.y() * d.y()) / 2;
    }
    return std::sqrt(sum / count); // per axis
}

// The gusts over `seconds`, sampled every 50 ms: how many, their height and length.
struct Gusts {
    int count = 0;
    double highestPx = 0, meanLengthS = 0;
};
Gusts gustsOf(const SimSky &sky, double seconds)
{
    Gusts g;
    bool in = false;
    double began = 0, lengths = 0;
    for (double t = 0; t < seconds; t += 0.05) {
        const double push = std::hypot(at(sky, t).x(), at(sky, t).y());
        g.highestPx = std::max(g.highestPx, push);
        if (!in && push > 1e-6) {
            in = true;
            began = t;
            ++g.count;
        } else if (in && push <= 1e-6) {
            in = false;
            lengths += t - began;
        }
    }
    g.meanLengthS = g.count ? lengths / g.count : 0;
    return g;
}

TEST(HardSky, EachPartOfTheSkysMotionFollowsItsSetting)
{
    const SkyPart parts[] = {
        {"harmonic amplitude", [](SkyMotion &m) { m.periodicError2Px = 0.75; },
         [](const SimSky &s) {
             double most = 0;
             for (double t = 0; t < 480; t += 0.5)
                 most = std::max(most, std::fabs(at(s, t).x()));
             return most;
         },
         0.75, 0.01},
        {"harmonic repeats every half turn", [](SkyMotion &m) { m.periodicError2Px = 0.75; },
         [](const SimSky &s) { return at(s, 100).x() - at(s, 340).x(); }, 0, 1e-9},
        {"wander per root second", [](SkyMotion &m) { m.wanderPxPerRootS = 0.1; },
         [](const SimSky &s) { return rmsOfSteps(s, 1, 20000); }, 0.1, 0.01},
        {"wander over 100 s, a random walk", [](SkyMotion &m) { m.wanderPxPerRootS = 0.1; },
         [](const SimSky &s) { return rmsOfSteps(s, 100, 400); }, 1.0, 0.15},
        {"gusts every 90 s", [](SkyMotion &m) { m.gustEveryS = 90; },
         [](const SimSky &s) { return 90000.0 / gustsOf(s, 90000).count; }, 90, 3},
        {"gust height", [](SkyMotion &m) { m.gustEveryS = 90; m.gustPx = 2; },
         [](const SimSky &s) { return gustsOf(s, 9000).highestPx; }, 2, 0.05},
        {"gust length", [](SkyMotion &m) { m.gustEveryS = 90; m.gustLengthS = 3; },
         [](const SimSky &s) { return gustsOf(s, 9000).meanLengthS; }, 3, 0.1},
    };
    for (const SkyPart &part : parts) {
        SkyMotion motion = stillSky();
        part.set(motion);
        const SimSky sky(0, motion);
        EXPECT_NEAR(part.measure(sky), part.expected, part.tolerance) << part.name;
    }
}

// The guide star and the brightest other star well inside the picture, measured
// on guide frames of a still sky.
struct TwoStars {
    explicit TwoStars(SimCameraOptions options) : camera(clock, port, settings, sky, options)
    {
        EXPECT_TRUE(camera.connect().ok());
        const StarField &field = camera.starField();
        double brightest = 0;
        for (const Star &s : field.stars())
            if (s.flux < 1 && s.flux > brightest && s.x > 40 && s.y > 40 && s.x < 600 && s.y < 440) {
                brightest = s.flux;
                other = QPointF(s.x, s.y);
            }
    }
    PixelView view(const QImage &frame) const
    {
        return {reinterpret_cast<const uint32_t *>(frame.constBits()), frame.width(), frame.height(),
                frame.bytesPerLine() / 4};
    }
    SimClock clock{0};
    CameraLines port{clock};
    SimSky sky{0, stillSky()};
    Settings settings;
    SimCamera camera;
    QPointF other;
};

double correlationOfJitter(double shared)
{
    SimCameraOptions options;
    options.sensor.jitterPx = 1.0;
    options.jitterShared = shared;
    TwoStars r(options);
    const QPointF guide = r.camera.starField().guideStar();
    double sab = 0, saa = 0, sbb = 0;
    for (int i = 0; i < 120; ++i) {
        r.clock.advance(1000);
        const QImage frame = r.camera.copyFrame()->convertToFormat(QImage::Format_RGB32);
        const StarMeasurement a = measureCentroid(r.view(frame), guide.x(), guide.y(), 16, 6);
        const StarMeasurement b = measureCentroid(r.view(frame), r.other.x(), r.other.y(), 16, 6);
        sab += a.driftX * b.driftX + a.driftY * b.driftY;
        saa += a.driftX * a.driftX + a.driftY * a.driftY;
        sbb += b.driftX * b.driftX + b.driftY * b.driftY;
    }
    return sab / std::sqrt(saa * sbb);
}

TEST(HardSky, SeeingJitterIsSharedByTheStarsAsFarAsItsSettingSays)
{
    EXPECT_GT(correlationOfJitter(1.0), 0.9); // the whole image moves as one
    EXPECT_NEAR(correlationOfJitter(0.5), 0.5, 0.15);
}

TEST(HardSky, SeeingChangesThroughTheNightBetweenItsBounds)
{
    SimCameraOptions options;
    options.sensor.psfSigmaPx = 3.0 / 2.3548;
    options.seeingMaxFwhmPx = 4.5;
    double least = 99, most = 0, leastAtS = 0, mostAtS = 0;
    for (double t = 0; t < 36000; t += 30) {
        const double fwhm = options.seeingFwhmAt(t);
        if (fwhm < least)
            least = fwhm, leastAtS = t;
        if (fwhm > most)
            most = fwhm, mostAtS = t;
    }
    EXPECT_GE(least, 3.0 - 1e-9);
    EXPECT_LE(most, 4.5 + 1e-9);
    EXPECT_LT(least, 3.15);
    EXPECT_GT(most, 4.3);
    // The frames show it: a star at the best and at the worst moment.
    options.sensor.jitterPx = 0;
    TwoStars r(options);
    const QPointF guide = r.camera.starField().guideStar();
    for (const auto &[atS, expected] : {std::pair{leastAtS, least}, std::pair{mostAtS, most}}) {
        r.clock.set(uint32_t(atS * 1000));
        const QImage frame = r.camera.copyFrame()->convertToFormat(QImage::Format_RGB32);
        const std::optional<StarProfile> profile = starProfile(r.view(frame), guide.x(), guide.y(), 30);
        ASSERT_TRUE(profile);
        EXPECT_NEAR(profile->fwhm, expected, 0.15 * expected) << atS << " s";
    }
}

TEST(HardSky, ThePresetSetsTheHardNightAndKeysBesideItOverrideIt)
{
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("orvane.ini"));
    ASSERT_TRUE(writeAll(ini, "[sky]\npreset=hard\nperiodicErrorPx=2\n[mount]\nguideRatePxPerSec=4\n"
                              "[camera]\nseeingMaxFwhmPx=5\n"));
    QStringList notes;
    const SkyMotion sky = SkyMotion::fromIni(ini, notes);
    EXPECT_EQ(sky.periodicErrorPx, 2); // given beside the preset
    EXPECT_EQ(sky.periodicErrorPeriodS, 480);
    EXPECT_EQ(sky.periodicError2Px, 0.75);
    EXPECT_EQ(sky.wanderPxPerRootS, 0.1);
    EXPECT_EQ(sky.gustEveryS, 90);
    EXPECT_EQ(sky.gustPx, 2);
    EXPECT_EQ(sky.gustLengthS, 2);
    EXPECT_EQ(sky.driftXPxPerMin, SkyMotion{}.driftXPxPerMin);
    const SimMountOptions mount = SimMountOptions::fromIni(ini, notes);
    EXPECT_EQ(mount.decBacklashMs, 1500);
    EXPECT_EQ(mount.guideRatePxPerSec, 4);
    const SimCameraOptions camera = SimCameraOptions::fromIni(ini);
    EXPECT_NEAR(camera.sensor.psfSigmaPx * 2.3548, 3.0, 1e-9);
    EXPECT_EQ(camera.seeingMaxFwhmPx, 5);
    EXPECT_EQ(camera.jitterShared, 0.5);
    EXPECT_NEAR(camera.guideStarPeakPer60s(), SimCameraOptions{}.guideStarPeakPer60s() / 4, 1e-9);
    EXPECT_TRUE(notes.isEmpty()) << notes.join('\n').toStdString();

    // A preset that names no night is told, and the default sky is kept.
    ASSERT_TRUE(writeAll(ini, "[sky]\npreset=stormy\n"));
    const SkyMotion kept = SkyMotion::fromIni(ini, notes);
    EXPECT_EQ(kept.periodicErrorPx, SkyMotion{}.periodicErrorPx);
    EXPECT_EQ(kept.wanderPxPerRootS, 0);
    ASSERT_EQ(notes.size(), 1);
    EXPECT_TRUE(notes[0].contains("preset")) << notes[0].toStdString();
    EXPECT_EQ(SimMountOptions::fromIni(ini, notes).decBacklashMs, 0);
}

} // namespace
} // namespace orvane::test
