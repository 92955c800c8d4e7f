#include "guiding_assistant.h"

#include <QStringList>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace orvane {

namespace {

constexpr int kLeastPlaces = 20;
constexpr double kShortestPeriodS = 60;
constexpr int kPeriodTrials = 240;
constexpr double kDriftMethodFactor = 3.81; // arcmin of polar error per arcsec/min of Dec drift, over cos(Dec)

// Least squares of v against [1, t] and, when periodS > 0, [sin, cos](2 pi t / periodS).
struct Fit {
    double a = 0, b = 0, c = 0, d = 0, residual = 0;
};

Fit fit(const std::vector<WatchedPlace> &p, double WatchedPlace::*v, double periodS)
{
    const int n = periodS > 0 ? 4 : 2;
    double m[4][5] = {};
    for (const WatchedPlace &s : p) {
        const double w = periodS > 0 ? 2 * std::numbers::pi * s.seconds / periodS : 0;
        const double f[4] = {1, s.seconds, std::sin(w), std::cos(w)};
        for (int i = 0; i < n; ++i) {
            for (int j = 0; j < n; ++j)
                m[i][j] += f[i] * f[j];
            m[i][4] += f[i] * (s.*v);
        }
    }
    // Gauss-Jordan with partial pivoting on the small normal equations.
    for (int col = 0; col < n; ++col) {
        int pivot = col;
        for (int r = col + 1; r < n; ++r)
            if (std::fabs(m[r][col]) > std::fabs(m[pivot][col]))
                pivot = r;
        for (int k = 0; k < 5; ++k)
            std::swap(m[col][k], m[pivot][k]);
        if (std::fabs(m[col][col]) < 1e-12)
            return {};
        for (int r = 0; r < n; ++r) {
            if (r == col)
                continue;
            const double f = m[r][col] / m[col][col];
            for (int k = col; k < 5; ++k)
                m[r][k] -= f * m[col][k];
        }
    }
    double x[4] = {};
    for (int i = 0; i < n; ++i)
        x[i] = m[i][4] / m[i][i];
    Fit out{x[0], x[1], x[2], x[3], 0};
    for (const WatchedPlace &s : p) {
        const double w = periodS > 0 ? 2 * std::numbers::pi * s.seconds / periodS : 0;
        const double e = (s.*v) - (out.a + out.b * s.seconds + out.c * std::sin(w) + out.d * std::cos(w));
        out.residual += e * e;
    }
    return out;
}

double jitter(const std::vector<WatchedPlace> &p, double WatchedPlace::*v)
{
    // Frame-to-frame steps: the slow motions add little to them, each frame's seeing twice.
    double sum = 0;
    for (size_t i = 1; i < p.size(); ++i)
        sum += ((p[i].*v) - (p[i - 1].*v)) * ((p[i].*v) - (p[i - 1].*v));
    return std::sqrt(sum / double(p.size() - 1) / 2);
}

} // namespace

std::optional<NightFigures> measureNight(const std::vector<WatchedPlace> &places, std::optional<double> pixelScale,
                                         std::optional<double> declinationDeg)
{
    if (int(places.size()) < kLeastPlaces)
        return std::nullopt;
    NightFigures f;
    f.samples = int(places.size());
    f.jitterXPx = jitter(places, &WatchedPlace::xPx);
    f.jitterYPx = jitter(places, &WatchedPlace::yPx);
    const double spanS = places.back().seconds - places.front().seconds;
    // The period whose sine takes most of x's wander after the drift; none in a watch shorter than the shortest period.
    Fit best = fit(places, &WatchedPlace::xPx, 0);
    const double lineOnly = best.residual;
    for (int k = 0; k <= kPeriodTrials && spanS >= kShortestPeriodS; ++k) {
        const double period = kShortestPeriodS * std::pow(spanS / kShortestPeriodS, double(k) / kPeriodTrials);
        const Fit trial = fit(places, &WatchedPlace::xPx, period);
        if (trial.residual < best.residual) {
            best = trial;
            f.periodicErrorPeriodS = period;
        }
    }
    // A sine that explains less than a tenth of the wander is seeing, not gears.
    if (f.periodicErrorPeriodS > 0 && best.residual > 0.9 * lineOnly) {
        best = fit(places, &WatchedPlace::xPx, 0);
        f.periodicErrorPeriodS = 0;
    }
    f.driftXPxPerMin = best.b * 60;
    f.periodicErrorPx = std::hypot(best.c, best.d);
    f.driftYPxPerMin = fit(places, &WatchedPlace::yPx, 0).b * 60;
    if (pixelScale && declinationDeg && std::fabs(*declinationDeg) < 85) {
        const double decDriftArcsecPerMin = std::fabs(f.driftYPxPerMin) * *pixelScale;
        f.polarErrorArcmin = kDriftMethodFactor * decDriftArcsecPerMin / std::cos(*declinationDeg * std::numbers::pi / 180);
    }
    return f;
}

GuideAdvice adviseGuiding(const NightFigures &night, double decBacklashMs)
{
    GuideAdvice a;
    const double jitterPx = std::hypot(night.jitterXPx, night.jitterYPx) / std::sqrt(2.0);
    const double driftPxPerS = std::hypot(night.driftXPxPerMin, night.driftYPxPerMin) / 60 +
                               (night.periodicErrorPeriodS > 0
                                    ? 2 * std::numbers::pi * night.periodicErrorPx / night.periodicErrorPeriodS
                                    : 0);
    // The star may wander a third of the seeing between corrections: 1 to 4 s.
    a.guideExposureS = driftPxPerS > 0 ? std::clamp(std::round(jitterPx / 3 / driftPxPerS), 1.0, 4.0) : 4.0;
    a.minMovePx = std::clamp(std::round(jitterPx * 0.65 * 100) / 100, 0.1, 1.0);
    a.aggressiveness = jitterPx > driftPxPerS * a.guideExposureS ? 0.6 : 0.8;
    a.decMode = decBacklashMs > 500 && std::fabs(night.driftYPxPerMin) > 0.5 ? QStringLiteral("one way")
                                                                             : QStringLiteral("both ways");
    a.why << QStringLiteral("Seeing jitter %1 px RMS: moves below %2 px chase the seeing.")
                 .arg(jitterPx, 0, 'f', 2)
                 .arg(a.minMovePx, 0, 'f', 2);
    a.why << QStringLiteral("The star wanders %1 px/s uncorrected: %2 s frames let it go %3 px between corrections.")
                 .arg(driftPxPerS, 0, 'f', 3)
                 .arg(a.guideExposureS, 0, 'f', 0)
                 .arg(driftPxPerS * a.guideExposureS, 0, 'f', 2);
    return a;
}

} // namespace orvane
