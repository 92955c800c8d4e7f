// The pixel scale from the optics table: arc-seconds per pixel of the guide and
// the imaging camera, with binning and line-doubled frames, and where it shows.
#include "drift_stats.h"
#include "frame_format.h"
#include "guide_log_lines.h"
#include "optics.h"

#include <gtest/gtest.h>

using namespace orvane;

TEST(Optics, PixelScaleFollowsFocalLengthPixelSizeAndBinning)
{
    const QByteArray ini = "[optics]\nguideFocalLengthMm=400\nguidePixelUm=5.6\nimagingFocalLengthMm=1000\n"
                           "imagingPixelUm=3.75\n";
    QStringList notes;
    const Optics o = opticsFromIni(ini, QStringLiteral("orvane.ini"), notes);
    EXPECT_TRUE(notes.isEmpty());
    ASSERT_TRUE(guideScale(o));
    EXPECT_NEAR(*guideScale(o), 206.265 * 5.6 / 400, 1e-12); // 2.888 arcsec/px

    const std::optional<FrameScale> plain = imagingScale(o, 1, false);
    ASSERT_TRUE(plain);
    EXPECT_NEAR(plain->xArcsecPerPx, 0.77349, 1e-5);
    EXPECT_DOUBLE_EQ(plain->yArcsecPerPx, plain->xArcsecPerPx);
    EXPECT_DOUBLE_EQ(plain->pairArcsec, plain->yArcsecPerPx);
    // Binned 2x2 pixels cover twice the sky each way.
    EXPECT_NEAR(imagingScale(o, 2, false)->xArcsecPerPx, 2 * plain->xArcsecPerPx, 1e-12);
    // 2x1 Bin: each picture row is still one sensor row (half of a doubled pair),
    // so a row keeps the scale and a pair of rows spans twice it.
    const std::optional<FrameScale> doubled = imagingScale(o, 1, true);
    EXPECT_DOUBLE_EQ(doubled->yArcsecPerPx, plain->yArcsecPerPx);
    EXPECT_DOUBLE_EQ(doubled->pairArcsec, 2 * plain->yArcsecPerPx);

    // Unknown or unusable figures leave the scale unknown, and a bad value is told.
    EXPECT_FALSE(guideScale(Optics{.guideFocalLengthMm = 400}));
    const Optics bad = opticsFromIni("[optics]\nguideFocalLengthMm=-3\nguidePixelUm=5.6\n", "orvane.ini", notes);
    EXPECT_FALSE(guideScale(bad));
    ASSERT_EQ(notes.size(), 1);
    EXPECT_TRUE(notes[0].contains("guideFocalLengthMm")) << notes[0].toStdString();

    // Written and read back unchanged; an unknown figure takes its key away.
    const QByteArray written = withOptics(ini, Optics{.guideFocalLengthMm = 250, .guidePixelUm = 5.6});
    notes.clear();
    const Optics back = opticsFromIni(written, "orvane.ini", notes);
    EXPECT_EQ(back.guideFocalLengthMm, 250);
    EXPECT_FALSE(back.imagingPixelUm);
    EXPECT_FALSE(written.contains("imagingPixelUm"));
}

TEST(Optics, GuideErrorsCarryArcsecondsWhereTheScaleIsKnown)
{
    DriftStats stats;
    GuideStep step;
    step.starFound = true;
    step.dxPx = 1.0;
    step.dyPx = 0.0;
    stats.add(step);
    EXPECT_EQ(driftFigures(stats), "x 1.00 px, y 0.00 px, total 1.00 px; peak 1.00 px; 1 steps, 0 without the star");
    EXPECT_EQ(driftFigures(stats, 2.5),
              "x 1.00 px (2.50\u2033), y 0.00 px (0.00\u2033), total 1.00 px (2.50\u2033); peak 1.00 px (2.50\u2033); "
              "1 steps, 0 without the star");

    GuideRunFacts facts{QDateTime(QDate(2024, 3, 9), QTime(21, 0)), "simulated", {}, 2.888, 400.0};
    EXPECT_EQ(guideLogRunHeader(facts)[1], "Pixel scale = 2.89 arc-sec/px, Binning = 1, Focal length = 400 mm");

    FrameRow row;
    row.rmsPx = 0.5;
    row.peakPx = 1.2;
    EXPECT_TRUE(framesCsvRow(row).endsWith(",0,,"));
    row.arcsecPerPx = 2.0;
    EXPECT_TRUE(framesCsvRow(row).endsWith(",0,1.000,2.400")) << framesCsvRow(row).toStdString();
}

TEST(NightFolders, ANightRunsFromNoonToNoonAndIsNamedByTheDateItBegan)
{
    const QString save = QStringLiteral("/data/sky");
    const QDate ninth(2024, 3, 9);
    EXPECT_EQ(nightFolder(save, false, QDateTime(ninth, QTime(23, 0))), save);
    EXPECT_EQ(nightFolder(save, true, QDateTime(ninth, QTime(12, 0))), "/data/sky/2024-03-09");
    EXPECT_EQ(nightFolder(save, true, QDateTime(ninth, QTime(23, 59))), "/data/sky/2024-03-09");
    EXPECT_EQ(nightFolder(save, true, QDateTime(ninth.addDays(1), QTime(3, 0))), "/data/sky/2024-03-09");
    EXPECT_EQ(nightFolder(save, true, QDateTime(ninth.addDays(1), QTime(12, 0))), "/data/sky/2024-03-10");
    QStringList notes;
    EXPECT_TRUE(frameFormatFromIni("[save]\nnightFolders=true\n", "orvane.ini", notes).nightFolders);
    EXPECT_FALSE(frameFormatFromIni("", "orvane.ini", notes).nightFolders);
    EXPECT_TRUE(notes.isEmpty());
}
