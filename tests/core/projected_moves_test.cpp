// Two-axis corrections split along the calibrated axes, and the [guiding]
// settings as orvane.ini and the settings window hold them.

#include "guiding_settings.h"
#include "projected_moves.h"

#include <QPointF>

#include <gtest/gtest.h>


namespace orvane {
namespace {

const DirectionTexts kLetters{QStringLiteral("n"), QStringLiteral("s"), QStringLiteral("e"), QStringLiteral("w")};

CalibrationRecord axesAt(double xAngleDeg, double yAngleDeg, double xRate, double yRate)
{
    CalibrationRecord r;
    r.xAngleDeg = xAngleDeg;
    r.yAngleDeg = yAngleDeg;
    r.xRatePxPerSec = xRate;
    r.yRatePxPerSec = yRate;
    return r;
}

TEST(ProjectedMoves, BothAxesTogetherBringTheStarBackWhateverTheCameraAngle)
{
    struct Case {
        const char *what;
        CalibrationRecord axes;
        double dx, dy;
    };
    const Case cases[] = {
        {"picture axes", pictureAxes(5), 3, -2},
        {"camera turned 90 degrees", axesAt(90, 180, 5, 5), 3, -2},
        {"camera turned 33 degrees", axesAt(33, 123, 5, 5), -1.5, -2.5},
        {"mirrored y axis", axesAt(20, -70, 4, 6), 2, 2},
        {"RA rate half the Dec rate", axesAt(0, 90, 2.5, 5), -4, 1},
    };
    const MoveTuning tuning{0.7, 0.2, 5000};
    for (const Case &c : cases) {
        const ProjectedMoves m = projectMoves(c.dx, c.dy, c.axes, kLetters, tuning);
        const QPointF moved = plannedShiftPx(m, c.axes);
        EXPECT_NEAR(moved.x(), -0.7 * c.dx, 0.02) << c.what;
        EXPECT_NEAR(moved.y(), -0.7 * c.dy, 0.02) << c.what;
    }
    // Drifted right and down on the picture axes: DirLeft (e) and DirDown (s).
    const ProjectedMoves m = projectMoves(3, 2, pictureAxes(5), kLetters, tuning);
    EXPECT_EQ(m.x.direction, "e");
    EXPECT_EQ(m.y.direction, "s");
    EXPECT_EQ(m.x.ms, 420); // 0.7 x 3 px at 5 px/s
    EXPECT_EQ(m.y.ms, 280);
}

TEST(ProjectedMoves, SmallMovesRestLongOnesAreCutAndParallelAxesMoveNothing)
{
    const MoveTuning tuning{1.0, 0.2, 300};
    const ProjectedMoves m = projectMoves(0.15, 4, pictureAxes(5), kLetters, tuning);
    EXPECT_EQ(m.x.dir, 0) << "0.15 px is below the least move";
    EXPECT_EQ(m.y.ms, 300) << "800 ms cut to the longest move";
    EXPECT_FALSE(projectMoves(3, 3, axesAt(10, 12, 5, 5), kLetters, tuning).moves());
    EXPECT_FALSE(projectMoves(3, 3, axesAt(0, 90, 0, 5), kLetters, tuning).moves());
}

TEST(GuidingSettings, IniKeysRoundTripAndABadValueKeepsOnlyItsDefault)
{
    GuidingSettings chosen;
    chosen.algorithm = QStringLiteral("centroid");
    chosen.aggressiveness = 0.55;
    chosen.maxMoveMs = 1500;
    chosen.pulse = chosen.dither = true;
    chosen.ditherPx = 4.5;
    chosen.ditherScale = 2;
    chosen.ditherRaOnly = true;
    chosen.settleTimeS = 5;
    chosen.calibrationPx = 20;
    chosen.calibrationLimitS = 90;
    chosen.guideStars = 4;
    chosen.predict = chosen.decBacklash = true;
    chosen.predictPeriodS = 600;
    chosen.decMode = QStringLiteral("north");
    const QByteArray ini = withGuidingSettings("; mine\r\n[window]\r\nguide=true\r\n", chosen);
    EXPECT_TRUE(ini.startsWith("; mine\r\n[window]\r\nguide=true\r\n"));
    QStringList notes;
    EXPECT_EQ(guidingSettingsFromIni(ini, "orvane.ini", notes), chosen);
    EXPECT_TRUE(notes.isEmpty());

    struct Case {
        QByteArray text;
        const char *noteStart;
    };
    const Case cases[] = {
        {"[guiding]\nalgorithm=brightest-run\n", nullptr}, // an older name of box
        {"[guiding]\nalgorithm=fast\n", "orvane.ini line 2: [guiding] algorithm: \"fast\" is not box or centroid"},
        {"[guiding]\naggressiveness=0\n", "orvane.ini line 2: [guiding] aggressiveness: \"0\" is not a number above 0"},
        {"[guiding]\nmaxMoveMs=2.5\n", "orvane.ini line 2: [guiding] maxMoveMs: \"2.5\" is not a whole number"},
        {"[guiding]\npulse=yes\n", "orvane.ini line 2: [guiding] pulse: \"yes\" is neither true nor false"},
        {"[guiding]\ncalibrationPx=1\n", "orvane.ini line 2: [guiding] calibrationPx: \"1\" is not a number of pixels from 2"},
        {"[guiding]\nsettleSteps=3\n", "orvane.ini line 2: [guiding] settleSteps is no longer read: settling now lasts a time, settleTimeS (2 s"},
        {"[guiding]\ndecMode=west\n", "orvane.ini line 2: [guiding] decMode: \"west\" is not one of auto, north, south, off"},
        {"[guiding]\nguideStars=0\n", "orvane.ini line 2: [guiding] guideStars: \"0\" is not a whole number of stars from 1"},
    };
    for (const Case &c : cases) {
        notes.clear();
        const GuidingSettings read = guidingSettingsFromIni(c.text + "dither=true\n", "orvane.ini", notes);
        EXPECT_TRUE(read.dither) << "the good key beside it is read: " << c.text.constData();
        EXPECT_EQ(read.algorithm, "box") << c.text.constData();
        if (c.noteStart) {
            ASSERT_EQ(notes.size(), 1) << c.text.constData();
            EXPECT_TRUE(notes.front().startsWith(c.noteStart)) << notes.front().toStdString();
        } else {
            EXPECT_TRUE(notes.isEmpty());
        }
    }
    EXPECT_FALSE(withGuidingSettings("[guiding]\nsettleSteps=3\n", chosen).contains("settleSteps"))
        << "the older key goes when the settings are stored";
}

} // namespace
} // namespace orvane
