// The held time an INDI camera learns from the port bytes, on the bytes' own
// clock: with a guide camera the image read-out closes the whole time held
// since the previous image read-out, and a guide read-out the time held since
// the read-out before it; orvane.ini names the guide camera.

#include "indi_cameras.h"
#include "indi_exposure_watch.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <vector>

namespace orvane::test {
namespace {

constexpr uint8_t E = 3, A = 1, I = 0, G = 2; // exposure, amplifier on, image and guide read-outs

struct Write {
    uint8_t value;
    uint32_t atMs;
};

Settings portSettings()
{
    Settings s;
    s.ExposureState = E;
    s.AmpOnState = A;
    s.GetImageState = I;
    s.GetGuideState = G;
    return s;
}

TEST(IndiExposureWatch, ReadOutsCloseTheirOwnHeldTime)
{
    const struct {
        const char *what;
        std::vector<Write> writes;
        IndiReadout last;
        double imageS, guideS;
    } cases[] = {
        {"guide read-outs do not cut the image short",
         {{E, 0}, {G, 1000}, {E, 1010}, {G, 2010}, {E, 2020}, {A, 3020}, {I, 3030}, {E, 3040}},
         IndiReadout::Image, 3.0, 1.0},
        {"a guide read-out counts from the image read-out before it",
         {{E, 0}, {G, 500}, {E, 510}, {I, 2510}, {E, 2520}, {G, 3520}},
         IndiReadout::Guide, 2.5, 1.0},
        {"an image byte with no frame copy still ends the image; idle time counts for neither",
         {{E, 0}, {G, 1000}, {E, 1010}, {I, 1020}, {E, 61020}, {G, 62020}, {E, 62030}, {I, 63030}},
         IndiReadout::Image, 2.0, 1.0},
    };
    const Settings settings = portSettings();
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        IndiExposureWatch watch(settings);
        for (const Write &w : c.writes)
            watch.onWrite({0x378, w.value, w.atMs});
        EXPECT_EQ(watch.lastReadout(), c.last);
        EXPECT_DOUBLE_EQ(watch.imageSeconds(), c.imageS);
        EXPECT_DOUBLE_EQ(watch.guideSeconds(), c.guideS);
    }
}

TEST(IndiExposureWatch, OneCameraTakesTheTimeHeldSinceTheLastFrameCopy)
{
    const Settings settings = portSettings();
    IndiExposureWatch watch(settings);
    for (const Write &w : {Write{E, 0}, Write{G, 1000}, Write{E, 1010}})
        watch.onWrite({0x378, w.value, w.atMs});
    EXPECT_DOUBLE_EQ(watch.takeSeconds(1010), 1.0);
    EXPECT_DOUBLE_EQ(watch.takeSeconds(1510), 0.5); // still exposing: counted up to the copy
    watch.onWrite({0x378, I, 2010});
    EXPECT_DOUBLE_EQ(watch.takeSeconds(2500), 0.5);
    EXPECT_DOUBLE_EQ(watch.imageSeconds(), 2.0); // the copies do not shorten the image's count
}

TEST(IndiCameraIni, GuideCameraIsReadTrimmedAndAbsentMeansNone)
{
    const struct {
        QByteArray ini;
        QString guide;
    } cases[] = {
        {"[indi]\ncameraServer=127.0.0.1:7624\nguideCamera = Guide Simulator \n", QStringLiteral("Guide Simulator")},
        {"[indi]\ncameraServer=127.0.0.1:7624\n", QString()},
    };
    for (const auto &c : cases) {
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("orvane.ini")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(c.ini);
        file.close();
        QStringList problems;
        EXPECT_EQ(indiCameraOptionsFromIni(file.fileName(), problems).guideDevice, c.guide);
        EXPECT_TRUE(problems.isEmpty());
    }
}

TEST(IndiCameraIni, LimitsAreReadAndBadValuesAreToldWithFileLineKeyAndTheValueUsed)
{
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("orvane.ini")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[serial]\nport1=/dev/ttyUSB0\n[indi]\nmaxFrameMegabytes=nan\nframeTimeoutS = inf\nmaxMessageMegabytes=40\n"
               "maxMegabytesPerSecond=5\nmaxProperties=0\n");
    file.close();
    QStringList problems;
    const IndiCameraOptions o = indiCameraOptionsFromIni(file.fileName(), problems);
    const QString path = file.fileName();
    EXPECT_EQ(problems.join("\n").toStdString(), (QStringList{
                            path + QStringLiteral(" line 4: [indi] maxFrameMegabytes: \"nan\" is not a number from 1 to 4096; using 200."),
                            path + QStringLiteral(" line 5: [indi] frameTimeoutS: \"inf\" is not a number from 1 to 3600; using 30."),
                            path + QStringLiteral(" line 8: [indi] maxProperties: \"0\" is not a whole number from 10 to 1000000; using 10000."),
                            path + QStringLiteral(": [indi] maxMessageMegabytes=40 is less than a frame of maxFrameMegabytes=200 "
                                                  "needs as sent; 268 is used."),
                        }).join("\n").toStdString());
    EXPECT_EQ(o.limits.maxBlobBytes, 200ll << 20);
    EXPECT_EQ(o.frameTimeoutMs, 30000u);
    EXPECT_EQ(o.limits.maxMessageBytes, 268ll << 20);
    EXPECT_EQ(o.limits.maxBytesPerSecond, 5ll << 20);
    EXPECT_EQ(o.limits.maxProperties, 10000);
}

} // namespace
} // namespace orvane::test
