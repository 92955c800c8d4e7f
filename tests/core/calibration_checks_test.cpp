// The second looks at a calibration that solved: each fires on the figures it
// is about and stays quiet on a sound calibration.

#include "calibration_checks.h"

#include <gtest/gtest.h>

namespace orvane {
namespace {

// A mount whose RA axis moves the star raRate px/s along +x, Dec decRate along +y.
CalibrationSolution solved(double raRate, double decRate, double turnDeg = 0)
{
    const double c = std::cos(turnDeg * M_PI / 180), s = std::sin(turnDeg * M_PI / 180);
    const QPointF ra(raRate * c, raRate * s), dec(-decRate * s, decRate * c);
    const CalibrationSolution solution = solveCalibration({ra, -ra, dec, -dec}, false);
    EXPECT_TRUE(solution.ok()) << solution.failure.toStdString();
    return solution;
}

TEST(CalibrationChecks, EachConcernFiresOnItsFiguresAndNotOnASoundCalibration)
{
    const CalibrationRecord lastNight = solved(5, 5).record;
    struct Case {
        const char *what;
        CalibrationCheckInput input;
        const char *concernStart; // nullptr: none
    };
    const Case cases[] = {
        {"sound, declination 0, same as last night", {solved(5, 5), 8, "West", 0.0, lastNight, 0.0}, nullptr},
        {"sound, declination unknown", {solved(5, 5), 8, "West", {}, {}, {}}, nullptr},
        {"RA half of Dec at declination 60", {solved(2.5, 5), 8, "West", 60.0, {}, {}}, nullptr},
        {"last night at declination 0 compared at 60", {solved(2.5, 5), 8, "West", 60.0, lastNight, 0.0}, nullptr},
        {"too few steps", {solved(5, 5), 2, "North", {}, {}, {}}, "North took only 2 steps (at least 4"},
        {"RA as fast as Dec at declination 60", {solved(5, 5), 8, "West", 60.0, {}, {}},
         "At declination 60 degrees RA should move the star at about 2.50 px/s"},
        {"RA half of Dec at declination 0", {solved(2.5, 5), 8, "West", 0.0, {}, {}},
         "At declination 0 degrees RA should move the star at about 5.00 px/s"},
        {"rates changed since last night", {solved(3, 5), 8, "West", {}, lastNight, {}},
         "This calibration differs from the last one (undated): Right/Left moves 3.00 px/s against 5.00."},
        {"camera turned since last night", {solved(5, 5, 30), 8, "West", {}, lastNight, {}},
         "This calibration differs from the last one (undated): the axes turned 30 degrees."},
    };
    for (const Case &c : cases) {
        const QStringList concerns = checkCalibration(c.input);
        if (!c.concernStart) {
            EXPECT_TRUE(concerns.isEmpty()) << c.what << ": " << concerns.join(' ').toStdString();
            continue;
        }
        ASSERT_EQ(concerns.size(), 1) << c.what << ": " << concerns.join(' ').toStdString();
        EXPECT_TRUE(concerns[0].startsWith(QLatin1String(c.concernStart))) << c.what << ": " << concerns[0].toStdString();
    }
}

TEST(CalibrationChecks, NearThePoleTheSlowRaAxisIsNotRefusedWhenTheDeclinationIsKnown)
{
    const QPointF ra(1.3, 0), dec(0, 5); // px/s at declination 75: RA moves cos(75) = 0.26 of Dec
    EXPECT_FALSE(solveCalibration({ra, -ra, dec, -dec}, false).ok());
    CalibrationLimits known;
    known.raRateScale = std::cos(75 * M_PI / 180);
    const CalibrationSolution solution = solveCalibration({ra, -ra, dec, -dec}, false, known);
    EXPECT_TRUE(solution.ok()) << solution.failure.toStdString();
    EXPECT_TRUE(checkCalibration({solution, 8, "West", 75.0, {}, {}}).isEmpty());
}

} // namespace
} // namespace orvane
