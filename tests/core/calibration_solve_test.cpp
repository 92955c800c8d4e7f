#include "calibration_apply.h"
#include "calibration_log_lines.h"
#include "calibration_solve.h"
#include "config_file.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

using namespace orvane;

namespace {

QPointF at(double deg, double rate)
{
    const double rad = deg * std::numbers::pi / 180;
    return {rate * std::cos(rad), rate * std::sin(rad)};
}

// The four letters of a mount whose w moves the star at `raDeg` and n at
// `decDeg`, with the sky drifting by `drift` during every step alike.
LetterVelocities moves(double raDeg, double raRate, double decDeg, double decRate, QPointF drift = {})
{
    return {at(raDeg, raRate) + drift, -at(raDeg, raRate) + drift, at(decDeg, decRate) + drift,
            -at(decDeg, decRate) + drift};
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

TEST(CalibrationSolve, DriftCancelsAndEachRefusalSaysWhy)
{
    const struct {
        const char *name;
        LetterVelocities moves;
        bool oneAxis;
        const char *failure; // empty: it stands
    } cases[] = {
        {"square, drifting", moves(0, 5, 90, 5, {0.3, 0.4}), true, ""},
        {"camera turned 30 on a two-axis algorithm", moves(30, 5, 120, 5), false, ""},
        {"camera turned 30 on the box", moves(30, 5, 120, 5), true,
         "The mount moves the star 30.0 degrees askew of the picture's edges (at most 20.0 will guide one axis at a "
         "time): turn the camera on the telescope until the picture has turned 30.0 degrees anticlockwise"},
        {"turned the other way", moves(-25, 5, 65, 5), true, "turned 25.0 degrees clockwise"},
        {"Dec does not move", moves(0, 5, 90, 0.1, {0.3, 0}), true,
         "The star did not move when the mount was sent n and s (0.10 px/s)"},
        {"RA four times slower", moves(0, 1.25, 90, 5), true,
         "The RA axis (w, e) moves the star 4.0 times slower than the Dec axis (1.25 against 5.00 px/s"},
        {"RA twice slower guides", moves(0, 2.5, 90, 5), true, ""},
        {"axes 20 degrees from square", moves(0, 5, 110, 5), false,
         "The mount's two axes move the star 20.0 degrees away from a right angle (at most 10.0 will guide)"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const CalibrationSolution s = solveCalibration(c.moves, c.oneAxis);
        if (*c.failure == 0) {
            EXPECT_TRUE(s.ok()) << s.failure.toStdString();
        } else {
            EXPECT_TRUE(s.failure.startsWith(QLatin1String(c.failure)) || s.failure.contains(QLatin1String(c.failure)))
                << s.failure.toStdString();
        }
    }
    const CalibrationSolution drifting = solveCalibration(moves(0, 5, 90, 4, {0.3, 0.4}), true);
    EXPECT_NEAR(drifting.record.xRatePxPerSec, 5, 1e-9);
    EXPECT_NEAR(drifting.record.yRatePxPerSec, 4, 1e-9);
    EXPECT_EQ(drifting.pixPerSec(), 5); // 4.5 rounds away from zero
}

TEST(CalibrationSolve, LettersFollowTheStarsMoves)
{
    const struct {
        const char *name;
        LetterVelocities moves;
        DirectionTexts letters; // up, down, left, right
        double cameraDeg;
    } cases[] = {
        {"as shipped", moves(0, 5, 90, 5), {"n", "s", "e", "w"}, 0},
        {"turned 90", moves(90, 5, 180, 5), {"w", "e", "n", "s"}, 90},
        {"mirrored", moves(0, 5, -90, 5), {"s", "n", "e", "w"}, 0},
        {"upside down", moves(180, 5, 270, 5), {"s", "n", "w", "e"}, 180},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const CalibrationSolution s = solveCalibration(c.moves, true);
        ASSERT_TRUE(s.ok()) << s.failure.toStdString();
        EXPECT_EQ(s.letters.up, c.letters.up);
        EXPECT_EQ(s.letters.down, c.letters.down);
        EXPECT_EQ(s.letters.left, c.letters.left);
        EXPECT_EQ(s.letters.right, c.letters.right);
        EXPECT_NEAR(std::remainder(s.cameraAngleDeg - c.cameraDeg, 360.0), 0, 1e-6);
        EXPECT_NEAR(s.record.xAngleDeg, 0, 1e-6);
        EXPECT_NEAR(s.record.yAngleDeg, 90, 1e-6);
    }
}

TEST(CalibrationLog, LinesKeepTheLogLayout)
{
    const QDateTime t(QDate(2024, 3, 9), QTime(21, 5, 7));
    const QStringList begins = calibrationLogBegins(t, "simulated", 375, 15);
    ASSERT_EQ(begins.size(), 3);
    EXPECT_EQ(begins[0], "Calibration Begins at 2024-03-09 21:05:07");
    EXPECT_EQ(begins[2], "Direction,Step,dx,dy,x,y,Dist");
    EXPECT_EQ(calibrationLogRow("West", 3, {3, 4}, {323.5, 240.25}), "West,3,3.000,4.000,323.500,240.250,5.000");
    EXPECT_EQ(calibrationLogAxis("North", 89.96), "North calibration complete. Angle = 90.0 deg");
    EXPECT_EQ(calibrationLogSpeeds(5, 2.5), "Calibration guide speeds: RA = 5.000 px/sec, Dec = 2.500 px/sec");
    EXPECT_EQ(calibrationLogEnds({}), (QStringList{"Calibration complete", ""}));
    EXPECT_EQ(calibrationLogEnds("Lost."), (QStringList{"Calibration failed: Lost.", ""}));
}

TEST(CalibrationApply, AllOrNothing)
{
    QTemporaryDir dir;
    const QString cfg = dir.filePath("orvane.cfg"), ini = dir.filePath("orvane.ini");
    Settings settings;
    settings.DirUp = "n", settings.DirDown = "s", settings.DirLeft = "e", settings.DirRight = "w";
    settings.PixPerSec = 5;
    settings.GuideBoxSize = 40;
    SaveConfig(cfg, settings);
    {
        QFile f(ini);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[mount]\nmirrored=true\n");
    }
    const CalibrationSolution mirrored = solveCalibration(moves(0, 3, -90, 4), true);
    ASSERT_TRUE(mirrored.ok());

    // orvane.cfg cannot be written (a folder stands in its place): nothing changes.
    const QString blocked = dir.filePath("blocked.cfg");
    ASSERT_TRUE(QDir(dir.path()).mkdir("blocked.cfg"));
    const QByteArray iniBefore = readAll(ini);
    const Settings before = settings;
    EXPECT_FALSE(applyCalibration(settings, blocked, ini, mirrored, "2024-03-09T21:00:00Z"));
    EXPECT_EQ(settings, before);
    EXPECT_EQ(readAll(ini), iniBefore);

    ASSERT_TRUE(applyCalibration(settings, cfg, ini, mirrored, "2024-03-09T21:00:00Z"));
    EXPECT_EQ(settings.DirUp, "s");
    EXPECT_EQ(settings.DirDown, "n");
    EXPECT_EQ(settings.PixPerSec, 4); // (3 + 4) / 2 rounded
    const Settings stored = LoadConfig(cfg);
    EXPECT_EQ(stored.DirUp, "s");
    EXPECT_EQ(stored.DirLeft, "e");
    EXPECT_EQ(stored.PixPerSec, 4);
    const auto record = readCalibration(ini);
    ASSERT_TRUE(record);
    EXPECT_NEAR(record->yRatePxPerSec, 4, 1e-6);
    EXPECT_EQ(record->when, "2024-03-09T21:00:00Z");
    EXPECT_TRUE(readAll(ini).startsWith("[mount]\nmirrored=true\n"));
}
