// orvane.ini's [save] and [fits]: the save format read with its defaults and
// refusals, and written back without touching the rest of the file.

#include "frame_format.h"

#include <gtest/gtest.h>

namespace orvane {
namespace {

TEST(FrameFormat, ReadFromIniWithDefaultsAndClearRefusals)
{
    const struct {
        const char *ini;
        SaveFormat format;
        SavePlanes planes;
        const char *problem; // part of the one sentence told, or nullptr
    } cases[] = {
        {"", SaveFormat::Bmp, SavePlanes::Colour, nullptr},
        {"[save]\nformat = FITS\nplanes=mono\n", SaveFormat::Fits, SavePlanes::Mono, nullptr},
        {"[save]\nformat=both ; and BMP\n", SaveFormat::Both, SavePlanes::Colour, nullptr},
        {"[save]\nformat=jpeg\n", SaveFormat::Bmp, SavePlanes::Colour,
         "orvane.ini line 2: [save] format: \"jpeg\" is not one of bmp, fits, both; using bmp."},
        {"[save]\nplanes=grey\n", SaveFormat::Bmp, SavePlanes::Colour, "[save] planes: \"grey\" is not colour or mono"},
        {"[fits]\nsiteLat=95\n", SaveFormat::Bmp, SavePlanes::Colour,
         "[fits] siteLat: \"95\" is not a number of degrees from -90 to 90; using none (FITS frames leave it out)."},
        {"[fits]\nsiteLong=east\n", SaveFormat::Bmp, SavePlanes::Colour, "[fits] siteLong: \"east\" is not a number"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.ini);
        QStringList problems;
        const FrameFormat f = frameFormatFromIni(c.ini, QStringLiteral("orvane.ini"), problems);
        EXPECT_EQ(f.format, c.format);
        EXPECT_EQ(f.planes, c.planes);
        ASSERT_EQ(problems.size(), c.problem ? 1 : 0) << problems.join(u'\n').toStdString();
        if (c.problem) {
            EXPECT_TRUE(problems[0].contains(QLatin1String(c.problem))) << problems[0].toStdString();
        }
    }

    QStringList problems;
    const FrameFormat site = frameFormatFromIni("[fits]\nobject = M 42 \nobserver=\"A. Person\"\nsiteLat=-33.5\nsiteLong=151.2\n",
                                                QStringLiteral("orvane.ini"), problems);
    EXPECT_TRUE(problems.isEmpty());
    EXPECT_EQ(site.site.object, "M 42");
    EXPECT_EQ(site.site.observer, "A. Person");
    EXPECT_EQ(site.site.latitudeDeg, -33.5);
    EXPECT_EQ(site.site.longitudeDeg, 151.2);
}

TEST(FrameFormat, WrittenBackKeepingTheUsersLines)
{
    const QByteArray before = "; my rig\r\n[save]\r\nformat=bmp ; was\r\n[fits]\r\nobject=M 42\r\n";
    FrameFormat f;
    f.format = SaveFormat::Both;
    f.planes = SavePlanes::Mono;
    const QByteArray after = withSaveFormat(before, f);
    EXPECT_TRUE(after.startsWith("; my rig\r\n[save]\r\n"));
    EXPECT_TRUE(after.contains("[fits]\r\nobject=M 42\r\n"));
    QStringList problems;
    const FrameFormat back = frameFormatFromIni(after, QStringLiteral("orvane.ini"), problems);
    EXPECT_EQ(back.format, SaveFormat::Both);
    EXPECT_EQ(back.planes, SavePlanes::Mono);
    EXPECT_EQ(back.site.object, "M 42");
}

} // namespace
} // namespace orvane
