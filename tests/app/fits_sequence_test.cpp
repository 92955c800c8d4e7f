// A guided run on the simulated rig saving every frame as BMP and FITS: the
// FITS files pass fitsverify, carry the full header, hold the BMP's pixels, and
// their times are those of the port writes that started and ended each exposure.

#include "fault_fixture.h"
#include "fits_file.h"
#include "fits_support.h"

using namespace orvane;
using namespace orvane::test;

namespace {

TEST(FitsSequence, OpticsAndPointingGoIntoTheHeaderForStackersToFileBy)
{
    FaultRig rig(1);
    rig.markOffset = QPointF(2, -1);
    rig.state.SaveFormat.format = SaveFormat::Fits;
    rig.state.optics = Optics{.guideFocalLengthMm = 400, .guidePixelUm = 5.6, .imagingFocalLengthMm = 1000,
                              .imagingPixelUm = 3.75};
    rig.panel.controls.lineDoubling = true; // rows stay one sensor row high
    rig.state.readPointing = true; // the simulated mount answers :GR# and :GD# with M 42
    ASSERT_TRUE(rig.run());
    const QString fits = fitsNameFor(QDir(rig.saveDir).filePath(frameNames(1, 1).front()));
    EXPECT_EQ(fitsverifySummary(fits), kFitsverifyClean);
    const FitsContent c = readFitsFile(fits);
    ASSERT_EQ(c.status, 0);
    const QMap<QString, QString> expected = {
        {"FOCALLEN", "1000.0"}, {"XPIXSZ", "3.750"}, {"YPIXSZ", "3.750"}, {"IMAGETYP", "Light Frame"},
        {"RA", "83.82083"}, {"DEC", "-5.39111"}, {"OBJCTRA", "05 35 17.0"}, {"OBJCTDEC", "-05 23 28"},
        {"LINEDOUB", "T"},
    };
    for (auto it = expected.begin(); it != expected.end(); ++it)
        EXPECT_EQ(c.values.value(it.key()), it.value()) << it.key().toStdString();
    EXPECT_NEAR(c.values.value("GUIDRMSA").toDouble(), c.values.value("GUIDRMS").toDouble() * 206.265 * 5.6 / 400, 0.002);
    EXPECT_FALSE(c.values.contains("PIERSIDE")) << "an LX200 mount does not say";

    // Asked only between corrections: never while a move runs.
    bool moving = false;
    int asked = 0;
    for (const LinkSend &s : rig.tap.sends) {
        if (s.bytes.startsWith(":RG#:M"))
            moving = true;
        else if (s.bytes.startsWith(":Q"))
            moving = false;
        if (s.bytes.contains(":GR#")) {
            ++asked;
            EXPECT_FALSE(moving) << "asked during a correction";
        }
    }
    EXPECT_GE(asked, 1);
}

TEST(FitsSequence, WithoutReadPointingNothingNewGoesOnTheWireAndNoPointingIsWritten)
{
    FaultRig rig(2);
    rig.markOffset = QPointF(2, -1);
    rig.state.SaveFormat.format = SaveFormat::Fits;
    ASSERT_TRUE(rig.run());
    QSet<QByteArray> commands;
    for (const LinkSend &s : rig.tap.sends)
        for (const QByteArray &command : s.bytes.split('#'))
            if (!command.isEmpty())
                commands.insert(command.startsWith(":Mg") ? command.left(4) : command);
    for (const QByteArray &command : commands)
        EXPECT_TRUE(command == "\x06" || command == ":RG" || (command.startsWith(":M") && command.size() == 3) ||
                    (command.startsWith(":Q") && command.size() == 3))
            << "sent " << command.toStdString();
    const FitsContent c = readFitsFile(fitsNameFor(QDir(rig.saveDir).filePath(frameNames(1, 1).front())));
    EXPECT_FALSE(c.values.contains("RA"));
    EXPECT_FALSE(c.values.contains("OBJCTRA"));
    EXPECT_FALSE(c.values.contains("FOCALLEN")) << "no optics given";
}

TEST(FitsSequence, FramesPassFitsverifyWithTheWholeHeaderAndTheBmpPixels)
{
    for (const SavePlanes planes : {SavePlanes::Colour, SavePlanes::Mono}) {
        const bool mono = planes == SavePlanes::Mono;
        SCOPED_TRACE(mono ? "mono" : "colour");
        FaultRig rig(2);
        rig.markOffset = QPointF(2, -1); // the click lands off the star: the guide steps see it
        rig.state.SaveFormat = {.format = SaveFormat::Both,
                                .planes = planes,
                                .site = {QStringLiteral("M 42"), QStringLiteral("A. Observer"), 52.5, -1.25}};
        ASSERT_TRUE(rig.run());
        ASSERT_TRUE(rig.panel.controls.notices.isEmpty()) << rig.panel.controls.notices.join("\n").toStdString();
        for (int frame = 1; frame <= 2; ++frame) {
            SCOPED_TRACE(frame);
            const QString bmp = QDir(rig.saveDir).filePath(frameNames(frame, frame).front());
            const QString fits = fitsNameFor(bmp);
            EXPECT_EQ(fitsverifySummary(fits), kFitsverifyClean);
            const FitsContent c = readFitsFile(fits);
            ASSERT_EQ(c.status, 0);

            const QMap<QString, QString> expected = {
                {"BITPIX", "8"},           {"NAXIS", mono ? "2" : "3"},
                {"NAXIS1", "640"},         {"NAXIS2", "480"},
                {"ROWORDER", "BOTTOM-UP"}, {"IMAGETYP", "Light Frame"},
                {"INSTRUME", "Simulated camera"}, {"TELESCOP", "simulated"},
                {"SWCREATE", "Orvane 4.0"}, {"XBINNING", "1"},
                {"YBINNING", "1"},         {"LINEDOUB", "F"},
                {"FRAME", QString::number(frame)}, {"SEQFRAME", QString::number(frame)},
                {"OBJECT", "M 42"},        {"OBSERVER", "A. Observer"},
                {"SITELAT", "52.500000"},  {"SITELONG", "-1.250000"},
                {"GUIDSTEP", "3"},         {"GUIDLOST", "0"},
                {"GUIDALGO", "box"}, {"SIMULATD", "T"},
                {"SIMPARTS", "camera, mount, printer port"},
            };
            for (auto it = expected.begin(); it != expected.end(); ++it)
                EXPECT_EQ(c.values.value(it.key()), it.value()) << it.key().toStdString();
            const double rmsX = c.values.value("GUIDRMSX").toDouble(), rmsY = c.values.value("GUIDRMSY").toDouble();
            EXPECT_GT(rmsX, 0.0);
            EXPECT_LT(rmsX, 2.5);
            EXPECT_NEAR(c.values.value("GUIDRMS").toDouble(), std::hypot(rmsX, rmsY), 0.002);

            // Times: from the port writes, to the millisecond.
            const int64_t startMs = clockMsOf(c.values.value("DATE-OBS"));
            const int64_t endMs = clockMsOf(c.values.value("DATE-END"));
            EXPECT_EQ(c.values.value("DATE-OBS").size(), 23); // yyyy-mm-ddThh:mm:ss.sss
            EXPECT_EQ(c.values.value("EXPTIME"), QString::number((endMs - startMs) / 1000.0, 'f', 3));
            EXPECT_EQ(c.values.value("EXPOSURE"), c.values.value("EXPTIME"));
            EXPECT_EQ(std::make_pair(startMs, endMs), exposureInPortRecord(rig, frame));
            EXPECT_GE(endMs - startMs, 4000);

            // Pixels: the BMP's, the bottom row stored first.
            const QImage picture(bmp);
            ASSERT_EQ(c.pixels.size(), size_t(640 * 480 * (mono ? 1 : 3)));
            int differ = 0;
            for (size_t i = 0; i < c.pixels.size(); ++i) {
                const int x = int(i % 640), y = 479 - int(i / 640 % 480), plane = int(i / (640 * 480));
                const QRgb rgb = picture.pixel(x, y);
                const int want = mono ? luminance(rgb) : plane == 0 ? qRed(rgb) : plane == 1 ? qGreen(rgb) : qBlue(rgb);
                differ += c.pixels[i] != want;
            }
            EXPECT_EQ(differ, 0);
        }
    }
}

} // namespace
