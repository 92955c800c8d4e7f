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
constexpr double kLeastSineF = 15; // F ratio a periodic error must pass: the best of the trials is seldom above 10 by chance
constexpr double kSteadyDecDriftPxPerMin = 0.5; // a Dec drift one-way guiding can lean on
constexpr double kDriftMethodFactor = 3.81; // arcmin of polar error per arcsec/min of Dec drift, over cos(Dec)

// How the star's place strays besides the drift and the periodic error: a
// random walk of the mount (variance growing by wanderPx2PerS each second)
// and the seeing's jitter on each frame.
struct Noise {
    double wanderPx2PerS = 0;
    double jitterPx2 = 1;
};

// Generalised least squares of v against [1, t] and, when periodS > 0,
// [sin, cos](2 pi t / periodS), the places' errors as `noise` has them: a
// Kalman filter of the wander (its start unknown, which takes the place of
// the constant) whitens v and each regressor alike, and plain least squares
// fits the whitened rows. Without wander this is ordinary least squares.
struct Fit {
    double a = 0, b = 0, c = 0, d = 0, residual = 0;
};

Fit fit(const std::vector<WatchedPlace> &p, double WatchedPlace::*v, double periodS, Noise noise = {})
{
    const int n = periodS > 0 ? 3 : 1;
    const auto series = [&](const WatchedPlace &s, int k) {
        const double w = periodS > 0 ? 2 * std::numbers::pi * s.seconds / periodS : 0;
        return k == 0 ? s.seconds : k == 1 ? std::sin(w) : k == 2 ? std::cos(w) : s.*v;
    };
    double m[3][4] = {}, yy = 0;
    double level[4] = {}, spread = noise.jitterPx2; // the filtered wander of each series, and its variance
    for (int k = 0; k < 4; ++k)
        level[k] = series(p.front(), k == n ? 3 : k);
    for (size_t i = 1; i < p.size(); ++i) {
        const double ahead = spread + noise.wanderPx2PerS * (p[i].seconds - p[i - 1].seconds);
        const double innovation = ahead + noise.jitterPx2;
        const double gain = ahead / innovation;
        spread = ahead * (1 - gain);
        double white[4];
        for (int k = 0; k <= n; ++k) {
            const double x = series(p[i], k == n ? 3 : k);
            white[k] = (x - level[k]) / std::sqrt(innovation);
            level[k] += gain * (x - level[k]);
        }
        for (int r = 0; r < n; ++r) {
            for (int c = 0; c < n; ++c)
                m[r][c] += white[r] * white[c];
            m[r][3] += white[r] * white[n];
        }
        yy += white[n] * white[n];
    }
    double rhs[3] = {m[0][3], m[1][3], m[2][3]};
    // Gauss-Jordan with partial pivoting on the small normal equations.
    for (int col = 0; col < n; ++col) {
        int pivot = col;
        for (int r = col + 1; r < n; ++r)
            if (std::fabs(m[r][col]) > std::fabs(m[pivot][col]))
                pivot = r;
        for (int k = 0; k < 4; ++k)
            std::swap(m[col][k], m[pivot][k]);
        if (std::fabs(m[col][col]) < 1e-12)
            return {};
        for (int r = 0; r < n; ++r) {
            if (r == col)
                continue;
            const double f = m[r][col] / m[col][col];
            for (int k = col; k < 4; ++k)
                m[r][k] -= f * m[col][k];
        }
    }
    double x[3] = {};
    for (int i = 0; i < n; ++i)
        x[i] = m[i][3] / m[i][i];
    Fit out{0, x[0], n > 1 ? x[1] : 0, n > 2 ? x[2] : 0, yy};
    for (int i = 0; i < n; ++i)
        out.residual -= x[i] * rhs[i]; // the whitened residual's sum of squares
    for (const WatchedPlace &s : p)
        out.a += ((s.*v) - out.b * series(s, 0) - out.c * series(s, 1) - out.d * series(s, 2)) / double(p.size());
    return out;
}

// The wander and the jitter from a fit's residuals: their steps from frame to
// frame hold twice the jitter and one frame of wander, their steps over
// kWanderLag frames the same jitter and that many frames of wander.
Noise noiseOf(const std::vector<WatchedPlace> &p, double WatchedPlace::*v, double periodS, const Fit &f)
{
    constexpr size_t kWanderLag = 20;
    if (p.size() < 4 * kWanderLag)
        return {};
    std::vector<double> e;
    for (const WatchedPlace &s : p) {
        const double w = periodS > 0 ? 2 * std::numbers::pi * s.seconds / periodS : 0;
        e.push_back((s.*v) - f.a - f.b * s.seconds - f.c * std::sin(w) - f.d * std::cos(w));
    }
    const auto variogram = [&](size_t lag) {
        double sum = 0;
        for (size_t i = lag; i < e.size(); ++i)
            sum += (e[i] - e[i - lag]) * (e[i] - e[i - lag]);
        return sum / double(e.size() - lag);
    };
    const double frameS = (p.back().seconds - p.front().seconds) / double(p.size() - 1);
    const double step = variogram(1), far = variogram(kWanderLag);
    Noise n;
    n.wanderPx2PerS = std::max(0.0, (far - step) / (double(kWanderLag - 1) * frameS));
    n.jitterPx2 = std::max((step - n.wanderPx2PerS * frameS) / 2, 1e-6);
    return n;
}

// The period whose sine takes most of the wander of v after the drift, or none.
Fit periodicFit(const std::vector<WatchedPlace> &p, double WatchedPlace::*v, Noise noise, double &periodS)
{
    const double spanS = p.back().seconds - p.front().seconds;
    Fit best = fit(p, v, 0, noise);
    const double lineOnly = best.residual;
    periodS = 0;
    for (int k = 0; k <= kPeriodTrials && spanS >= kShortestPeriodS; ++k) {
        const double period = kShortestPeriodS * std::pow(spanS / kShortestPeriodS, double(k) / kPeriodTrials);
        const Fit trial = fit(p, v, period, noise);
        if (trial.residual < best.residual) {
            best = trial;
            periodS = period;
        }
    }
    // A sine whose two terms take out less than kLeastSineF times what two terms of noise would is not gears.
    const double noisePerTerm = best.residual / double(std::max<size_t>(p.size(), 5) - 4);
    if (periodS > 0 && (lineOnly - best.residual) / 2 < kLeastSineF * noisePerTerm) {
        periodS = 0;
        return fit(p, v, 0, noise);
    }
    return best;
}

double jitter(const std::vector<WatchedPlace> &p, double WatchedPlace::*v)
{
    // Frame-to-frame steps: the slow motions add little to them, each frame's seeing twice.
    double sum = 0;
    for (size_t i = 1; i < p.size(); ++i)
        sum += ((p[i].*v) - (p[i - 1].*v)) * ((p[i].*v) - (p[i - 1].*v));
    return std::sqrt(sum / double(p.size() - 1) / 2);
}

void adviseDec(const NightFigures &night, const BacklashReading &backlash, GuideAdvice &a)
{
    const QString measured = QStringLiteral("Dec backlash %1 ms (%2 px)")
                                 .arg(backlash.backlashMs, 0, 'f', 0)
                                 .arg(backlash.backlashPx, 0, 'f', 1);
    if (backlash.backlashMs < kNotableBacklashMs) {
        a.decMode = QStringLiteral("auto");
        a.why << measured + QStringLiteral(": small, Dec is guided both ways.");
        return;
    }
    // The Dec drift along the way 'n' moves the star: a steady one keeps the gears pushed one way
    // when only the letter that counters it is sent.
    const double decDriftPxPerMin =
        night.driftXPxPerMin * backlash.northPx.x() + night.driftYPxPerMin * backlash.northPx.y();
    if (std::fabs(decDriftPxPerMin) > kSteadyDecDriftPxPerMin) {
        a.decMode = decDriftPxPerMin > 0 ? QStringLiteral("south") : QStringLiteral("north");
        a.why << measured + QStringLiteral(" and a steady Dec drift of %1 px/min: guiding Dec %2 keeps the gears "
                                           "pushed one way, so the slack is never crossed.")
                                .arg(std::fabs(decDriftPxPerMin), 0, 'f', 1)
                                .arg(decModeWords(a.decMode));
        return;
    }
    a.decMode = QStringLiteral("auto");
    a.decBacklash = true;
    a.why << measured + QStringLiteral(" and no steady Dec drift to lean on: Dec is guided both ways with the slack "
                                       "added to each reversing move.");
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
    // A first fit as if the places strayed by the seeing alone; the mount's own wander
    // is read from what it leaves, and the fit made again with that wander in view.
    double periodS = 0;
    Fit best = periodicFit(places, &WatchedPlace::xPx, {}, periodS);
    best = periodicFit(places, &WatchedPlace::xPx, noiseOf(places, &WatchedPlace::xPx, periodS, best), periodS);
    f.periodicErrorPeriodS = periodS;
    f.driftXPxPerMin = best.b * 60;
    f.periodicErrorPx = periodS > 0 ? std::hypot(best.c, best.d) : 0;
    const Fit yLine = fit(places, &WatchedPlace::yPx, 0);
    f.driftYPxPerMin = fit(places, &WatchedPlace::yPx, 0, noiseOf(places, &WatchedPlace::yPx, 0, yLine)).b * 60;
    f.polarErrorArcmin = polarAlignmentErrorArcmin(f.driftYPxPerMin, pixelScale, declinationDeg);
    return f;
}

std::optional<double> polarAlignmentErrorArcmin(double decDriftPxPerMin, std::optional<double> pixelScale,
                                                std::optional<double> declinationDeg)
{
    if (!pixelScale || !declinationDeg || std::fabs(*declinationDeg) >= 85)
        return std::nullopt;
    const double arcsecPerMin = std::fabs(decDriftPxPerMin) * *pixelScale;
    return kDriftMethodFactor * arcsecPerMin / std::cos(*declinationDeg * std::numbers::pi / 180);
}

double decDriftPxPerMin(const NightFigures &night, double decAxisDeg)
{
    const double a = decAxisDeg * std::numbers::pi / 180;
    return night.driftXPxPerMin * std::cos(a) + night.driftYPxPerMin * std::sin(a);
}

GuideAdvice adviseGuiding(const NightFigures &night)
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
    a.why << QStringLiteral("Seeing jitter %1 px RMS: moves below %2 px chase the seeing.")
                 .arg(jitterPx, 0, 'f', 2)
                 .arg(a.minMovePx, 0, 'f', 2);
    a.why << QStringLiteral("The star wanders %1 px/s uncorrected: %2 s frames let it go %3 px between corrections.")
                 .arg(driftPxPerS, 0, 'f', 3)
                 .arg(a.guideExposureS, 0, 'f', 0)
                 .arg(driftPxPerS * a.guideExposureS, 0, 'f', 2);
    if (night.decBacklash)
        adviseDec(night, *night.decBacklash, a);
    return a;
}

QString decModeWords(const QString &decMode, bool compensated)
{
    QString words = decMode == QLatin1String("north")   ? QStringLiteral("north only")
                    : decMode == QLatin1String("south") ? QStringLiteral("south only")
                    : decMode == QLatin1String("off")   ? QStringLiteral("off")
                                                        : QStringLiteral("both ways");
    if (compensated)
        words += QStringLiteral(", backlash compensated");
    return words;
}

} // namespace orvane
