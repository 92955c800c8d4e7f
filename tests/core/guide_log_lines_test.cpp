#include "guide_log_lines.h"

#include <gtest/gtest.h>

using namespace orvane;

namespace {

GuideStep moved(double dx, double dy, int dirX, int dirY, const char *letter, double moveMs)
{
    return {.timeMs = 0, .frameNumber = 1, .dxPx = dx, .dyPx = dy, .starFound = true, .snr = 12.345,
            .dirX = int16_t(dirX), .dirY = int16_t(dirY), .direction = letter, .moveMs = moveMs, .directionX = {}, .directionY = {}};
}

TEST(GuideLogLines, RowsPutEachMoveUnderTheMountAxisItsLettersDrive)
{
    const AxisLetters eastWestAcross{"e", "w", "n", "s"}, northSouthAcross{"N", "S", "E", "W"};
    struct Case {
        GuideStep step;
        AxisLetters axes;
        const char *row;
    };
    const Case cases[] = {
        {moved(-13, 0.5, -1, 0, "w", 2600.4), eastWestAcross,
         "3,1.250,\"Mount\",-13.000,0.500,-13.000,0.500,-13.000,0.000,2600,W,0,,,,,12.35,0"},
        {moved(0.25, 4, 0, 1, "s", 800), eastWestAcross,
         "3,1.250,\"Mount\",0.250,4.000,0.250,4.000,0.000,4.000,0,,800,S,,,,12.35,0"},
        {moved(-13, 0.5, -1, 0, "S", 2600), northSouthAcross, // x drives declination: the columns swap
         "3,1.250,\"Mount\",-13.000,0.500,0.500,-13.000,0.000,-13.000,0,,2600,S,,,,12.35,0"},
        {moved(0.1, 0.2, 0, 0, "", 0), eastWestAcross,
         "3,1.250,\"Mount\",0.100,0.200,0.100,0.200,0.000,0.000,0,,0,,,,,12.35,0"},
        {GuideStep{}, eastWestAcross, "3,1.250,\"DROP\",,,,,,,0,,0,,,,,0.00,1"},
    };
    for (const Case &c : cases) {
        const QString row = guideLogRow(3, 1.25, c.step, c.axes);
        EXPECT_EQ(row, c.row);
        EXPECT_EQ(row.count(u',') + 1, kGuideLogColumns) << c.row;
    }
    EXPECT_EQ(guideLogRunHeader({}).last().count(u',') + 1, kGuideLogColumns);
    CalibrationRecord turned; // a calibrated camera turned 33 degrees, RA at half the Dec rate
    turned.xAngleDeg = 33.04;
    turned.xRatePxPerSec = 2.5;
    turned.yAngleDeg = 123.0;
    turned.yRatePxPerSec = 5.0;
    EXPECT_EQ(guideLogRunHeader({{}, QStringLiteral("COM3"), turned})[3],
              "Mount = COM3, xAngle = 33.0, xRate = 2.500, yAngle = 123.0, yRate = 5.000");
}

TEST(GuideLogLines, ANightRunsFromNoonToNoonAndNamesRoundTrip)
{
    const QDateTime evening(QDate(2024, 3, 9), QTime(21, 0, 5));
    EXPECT_EQ(guideLogFileName(evening), "guide_log-2024-03-09T21-00-05.txt");
    EXPECT_EQ(guideLogFileTime(guideLogFileName(evening)), evening);
    EXPECT_FALSE(guideLogFileTime("guide_log-yesterday.txt"));
    struct Case {
        QDateTime later;
        bool same;
    };
    for (const Case &c : {Case{QDateTime(QDate(2024, 3, 10), QTime(4, 30)), true},
                          Case{QDateTime(QDate(2024, 3, 10), QTime(11, 59, 59)), true},
                          Case{QDateTime(QDate(2024, 3, 10), QTime(12, 0, 1)), false},
                          Case{QDateTime(QDate(2024, 3, 9), QTime(11, 0)), false}})
        EXPECT_EQ(sameNight(evening, c.later), c.same) << c.later.toString().toStdString();
}

TEST(GuideLogLines, FrameRowsQuoteNamesThatHoldCommas)
{
    const FrameRow row{.fileName = "M42, \"best\".bmp", .utcStart = "2024-03-09T21:00:01.250",
                       .utcEnd = "2024-03-09T21:00:05.300", .exposureS = 4.05, .camera = "Simulated camera",
                       .mount = "/dev/ttyUSB0", .guideSteps = 4, .lostSteps = 1, .rmsXPx = 0.5, .rmsYPx = 1.25,
                       .rmsPx = 1.3463, .peakPx = 2};
    EXPECT_EQ(framesCsvRow(row), "\"M42, \"\"best\"\".bmp\",2024-03-09T21:00:01.250,2024-03-09T21:00:05.300,4.050,"
                                 "Simulated camera,/dev/ttyUSB0,off,4,0.500,1.250,1.346,2.000,1,,") << "no pixel scale: the arc-second columns stay empty";
    EXPECT_EQ(framesCsvHeader().count(u','), QString(framesCsvRow({})).count(u','));
}

} // namespace

TEST(GuideLogLines, ATwoAxisStepFillsBothAxesAndTheStarMass)
{
    GuideStep step = moved(1.5, -0.75, 1, -1, "e", 210);
    step.directionX = "e";
    step.moveXMs = 210;
    step.guideXPx = 1.05;
    step.directionY = "n";
    step.moveYMs = 105.4;
    step.guideYPx = -0.525;
    step.starMass = 1234.4;
    EXPECT_EQ(guideLogRow(4, 2.5, step, {"e", "w", "n", "s"}),
              "4,2.500,\"Mount\",1.500,-0.750,1.500,-0.750,1.050,-0.525,210,E,105,N,,,1234,12.35,0");
    EXPECT_EQ(guideLogInfo(GuideEvent::Dither, ditherText(1.25, -2, 301.25, 198)),
              "INFO: DITHER by 1.250, -2.000, new lock pos = 301.250, 198.000");
    EXPECT_EQ(guideLogInfo(GuideEvent::SettlingBegins, {}), "INFO: SETTLING STATE CHANGE, Settling started");
    EXPECT_EQ(guideLogInfo(GuideEvent::SettlingFailed, {}), "INFO: SETTLING STATE CHANGE, Settling failed");
    EXPECT_EQ(guideLogStarCount(4), "INFO: Guiding on 4 stars");
    EXPECT_EQ(guideLogStarCount(1), "INFO: Guiding on 1 star");
}
